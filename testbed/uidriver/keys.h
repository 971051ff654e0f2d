#pragma once
// Key presses as a user's keyboard makes them: key down and key up, with the
// scan code and the state bits in lParam, posted to the focused window.
#include <windows.h>

#include <optional>
#include <string_view>
#include <vector>

namespace uidriver {

enum class Key { Tab, ShiftTab, Enter, Escape, F4, AltF4 };

std::optional<Key> ParseKey(std::string_view name);  // tab, shift-tab, enter, escape, f4, alt-f4
const char* KeyName(Key key);

struct KeyMessage {
    UINT message = 0;  // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP
    WPARAM virtualKey = 0;
    LPARAM lParam = 0;
    bool operator==(const KeyMessage&) const = default;
};

// lParam of one keyboard message: repeat count 1, the scan code, the Alt
// context bit 29, bit 30 for a key that was down before and bit 31 on release.
LPARAM KeyData(BYTE scanCode, bool altHeld, bool release);
// The messages the keyboard sends for the key, modifiers included, in order.
std::vector<KeyMessage> KeyStrokes(Key key);
// The modifier the key is pressed with (VK_SHIFT, VK_MENU) or 0.
BYTE HeldModifier(Key key);

// Presses the key in the window that has the focus in the dialog's thread
// (the dialog itself when none has), after giving the focus to the control
// when one is named, and waits until the dialog's thread has handled it.
// Returns false when the dialog went on to long work before it was done.
bool PressKey(HWND dialog, HWND control, Key key);

}  // namespace uidriver
