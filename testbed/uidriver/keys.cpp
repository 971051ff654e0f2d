#include "testbed/uidriver/keys.h"

#include "testbed/uidriver/controls.h"
#include "testbed/uidriver/driver_error.h"
#include "testbed/uidriver/messaging.h"

namespace uidriver {

namespace {

// Scan codes of a PC keyboard (set 1), as the keyboard reports the keys.
constexpr BYTE SCAN_TAB = 0x0F;
constexpr BYTE SCAN_ENTER = 0x1C;
constexpr BYTE SCAN_ESCAPE = 0x01;
constexpr BYTE SCAN_F4 = 0x3E;
constexpr BYTE SCAN_LEFT_SHIFT = 0x2A;
constexpr BYTE SCAN_LEFT_ALT = 0x38;

KeyMessage Down(WPARAM key, BYTE scan) { return {WM_KEYDOWN, key, KeyData(scan, false, false)}; }
KeyMessage Up(WPARAM key, BYTE scan) { return {WM_KEYUP, key, KeyData(scan, false, true)}; }

// While the modifier is held, the dialog's thread sees it in GetKeyState as
// it would for a real keyboard: the key state is shared by attaching our
// input to that thread for the duration of the press.
class HeldKey {
public:
    HeldKey(HWND window, BYTE key) : key_(key) {
        if (!key_) return;
        MSG ignored;
        ::PeekMessageA(&ignored, nullptr, 0, 0, PM_NOREMOVE);  // gives this thread its input queue
        target_ = ::GetWindowThreadProcessId(window, nullptr);
        attached_ = target_ && ::AttachThreadInput(::GetCurrentThreadId(), target_, TRUE);
        if (attached_) Set(true);
    }
    ~HeldKey() {
        if (!attached_) return;
        Set(false);
        ::AttachThreadInput(::GetCurrentThreadId(), target_, FALSE);
    }
    HeldKey(const HeldKey&) = delete;
    HeldKey& operator=(const HeldKey&) = delete;

private:
    void Set(bool down) {
        BYTE state[256] = {};
        if (!::GetKeyboardState(state)) return;
        state[key_] = down ? 0x80 : 0;
        ::SetKeyboardState(state);
    }

    BYTE key_;
    DWORD target_ = 0;
    bool attached_ = false;
};

}  // namespace

std::optional<Key> ParseKey(std::string_view name) {
    if (name == "tab") return Key::Tab;
    if (name == "shift-tab") return Key::ShiftTab;
    if (name == "enter") return Key::Enter;
    if (name == "escape") return Key::Escape;
    if (name == "f4") return Key::F4;
    if (name == "alt-f4") return Key::AltF4;
    return std::nullopt;
}

const char* KeyName(Key key) {
    switch (key) {
        case Key::Tab: return "tab";
        case Key::ShiftTab: return "shift-tab";
        case Key::Enter: return "enter";
        case Key::Escape: return "escape";
        case Key::F4: return "f4";
        case Key::AltF4: return "alt-f4";
    }
    return "?";
}

LPARAM KeyData(BYTE scanCode, bool altHeld, bool release) {
    DWORD data = 1 | (static_cast<DWORD>(scanCode) << 16);
    if (altHeld) data |= 1u << 29;
    if (release) data |= (1u << 30) | (1u << 31);
    return static_cast<LPARAM>(data);
}

std::vector<KeyMessage> KeyStrokes(Key key) {
    switch (key) {
        case Key::Tab: return {Down(VK_TAB, SCAN_TAB), Up(VK_TAB, SCAN_TAB)};
        case Key::ShiftTab:
            return {Down(VK_SHIFT, SCAN_LEFT_SHIFT), Down(VK_TAB, SCAN_TAB), Up(VK_TAB, SCAN_TAB),
                    Up(VK_SHIFT, SCAN_LEFT_SHIFT)};
        case Key::Enter: return {Down(VK_RETURN, SCAN_ENTER), Up(VK_RETURN, SCAN_ENTER)};
        case Key::Escape: return {Down(VK_ESCAPE, SCAN_ESCAPE), Up(VK_ESCAPE, SCAN_ESCAPE)};
        case Key::F4: return {Down(VK_F4, SCAN_F4), Up(VK_F4, SCAN_F4)};
        case Key::AltF4:
            // Alt released after another key arrives as a plain key-up.
            return {{WM_SYSKEYDOWN, VK_MENU, KeyData(SCAN_LEFT_ALT, true, false)},
                    {WM_SYSKEYDOWN, VK_F4, KeyData(SCAN_F4, true, false)},
                    {WM_SYSKEYUP, VK_F4, KeyData(SCAN_F4, true, true)},
                    Up(VK_MENU, SCAN_LEFT_ALT)};
    }
    return {};
}

BYTE HeldModifier(Key key) {
    if (key == Key::ShiftTab) return VK_SHIFT;
    if (key == Key::AltF4) return VK_MENU;
    return 0;
}

bool PressKey(HWND dialog, HWND control, Key key) {
    if (control) FocusControl(dialog, control);
    HWND target = FocusedWindow(dialog);
    if (!target) target = dialog;
    const std::vector<KeyMessage> strokes = KeyStrokes(key);
    HeldKey modifier(target, HeldModifier(key));
    for (const KeyMessage& stroke : strokes) {
        PostOrThrow(target, stroke.message, stroke.virtualKey, stroke.lParam, "press a key");
    }
    return Settle(dialog);
}

}  // namespace uidriver
