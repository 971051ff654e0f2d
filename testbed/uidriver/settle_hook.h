#pragma once
// What the driver and its message hook (CorvantaUiDriverHook.dll, loaded
// into the driven program's GUI thread) agree on.
//
// To learn when a thread has handled what was posted to it, the driver posts
// the settle message behind it: wParam is a number naming an event, lParam
// how many more rounds to go. The hook sees the message when the thread takes
// it from its queue, that is after everything posted before it was handled;
// it posts it again while rounds are left (behind what the handling posted
// in turn, such as the characters of a key) and then sets the event. The
// program itself only ever sees WM_NULL in its place.
#include <windows.h>


namespace uidriver {

constexpr char SETTLE_MESSAGE_NAME[] = "CorvantaUiDriverSettle";
constexpr char SETTLE_HOOK_DLL[] = "CorvantaUiDriverHook.dll";
constexpr char SETTLE_HOOK_PROC[] = "SettleHookProc";

constexpr char SETTLED_EVENT_PREFIX[] = "CorvantaUiDriverSettled-";

// The event's name: the prefix and the cookie in decimal. Written into a
// fixed buffer because the hook must neither allocate nor throw.
struct SettledEventName {
    explicit SettledEventName(unsigned long long cookie) noexcept {
        char digits[24] = {};
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + cookie % 10);
            cookie /= 10;
        } while (cookie);
        lstrcpyA(text, SETTLED_EVENT_PREFIX);
        char* end = text + lstrlenA(text);
        while (count) *end++ = digits[--count];
        *end = '\0';
    }
    char text[sizeof SETTLED_EVENT_PREFIX + 24] = {};
};

}  // namespace uidriver
