// CorvantaUiDriverHook.dll: the WH_GETMESSAGE hook the driver installs on the
// GUI thread of the program it drives (see settle_hook.h). Nothing here may
// throw: it runs inside the driven program's message retrieval.
#include <windows.h>

#include "testbed/uidriver/settle_hook.h"

extern "C" __declspec(dllexport) LRESULT CALLBACK SettleHookProc(int code, WPARAM removal, LPARAM data) noexcept;

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        // Stays loaded once a hook call brought it in, instead of being
        // loaded again for every message the thread takes.
        HMODULE self = nullptr;
        ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                             reinterpret_cast<LPCSTR>(&SettleHookProc), &self);
    }
    return TRUE;
}

extern "C" __declspec(dllexport) LRESULT CALLBACK SettleHookProc(int code, WPARAM removal, LPARAM data) noexcept {
    MSG* message = reinterpret_cast<MSG*>(data);
    if (code == HC_ACTION && removal == PM_REMOVE && message &&
        message->message == ::RegisterWindowMessageA(uidriver::SETTLE_MESSAGE_NAME)) {
        if (message->lParam > 0) {
            ::PostMessageA(message->hwnd, message->message, message->wParam, message->lParam - 1);
        } else {
            const uidriver::SettledEventName name(message->wParam);
            if (HANDLE settled = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, name.text)) {
                ::SetEvent(settled);
                ::CloseHandle(settled);
            }
        }
        message->message = WM_NULL;
    }
    return ::CallNextHookEx(nullptr, code, removal, data);
}
