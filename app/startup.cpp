#include "app/startup.h"

#include <objbase.h>

#include <cstdio>

#include "app/command_line.h"
#include "core/context.h"
#include "core/setup_log.h"
#include "resources/resource.h"
#include "ui/setup_dialog.h"
#include "win/security.h"
#include "win/text.h"

std::string CurrentDirectory() {
    DWORD needed = ::GetCurrentDirectoryA(0, nullptr);
    std::string directory(needed, '\0');
    DWORD length = ::GetCurrentDirectoryA(needed, directory.data());
    directory.resize(length < needed ? length : 0);
    return directory;
}

bool SetupLockTaken(DWORD waitResult) { return waitResult == WAIT_OBJECT_0 || waitResult == WAIT_ABANDONED; }

win::KernelHandle TakeSetupLock() {
    win::KernelHandle mutex(::CreateMutexW(nullptr, FALSE, SETUP_MUTEX_NAME));
    if (!mutex || !SetupLockTaken(::WaitForSingleObject(mutex.Get(), 0))) return {};
    return mutex;
}

int UtcOffsetMinutes(const SYSTEMTIME& utc, const SYSTEMTIME& local) {
    FILETIME utcTime = {}, localTime = {};
    if (!::SystemTimeToFileTime(&utc, &utcTime) || !::SystemTimeToFileTime(&local, &localTime)) return 0;
    const auto ticks = [](const FILETIME& t) {
        return static_cast<long long>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    constexpr long long TICKS_PER_MINUTE = 600000000;  // 100 ns ticks
    const long long difference = ticks(localTime) - ticks(utcTime);
    // Whole minutes, rounded: the two clocks were read from one moment.
    return static_cast<int>((difference + (difference >= 0 ? TICKS_PER_MINUTE / 2 : -TICKS_PER_MINUTE / 2)) /
                            TICKS_PER_MINUTE);
}

std::string LocalTimeText(const SYSTEMTIME& local) {
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", local.wYear, local.wMonth, local.wDay,
                  local.wHour, local.wMinute, local.wSecond);
    return text;
}

std::string LogHeaderLine(std::wstring_view fullCommandLine, std::wstring_view commandTail) {
    SYSTEMTIME utc = {}, local = {};
    ::GetSystemTime(&utc);
    if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
    LogHeaderFacts facts;
    facts.version = PRODUCT_VERSION;
    facts.localTime = LocalTimeText(local);
    facts.utcOffsetMinutes = UtcOffsetMinutes(utc, local);
    facts.account = win::AccountNameOf(win::CurrentUserSid());
    // The program's name as it was started, then the rest with its secrets masked.
    std::wstring_view program = fullCommandLine;
    if (fullCommandLine.size() >= commandTail.size() &&
        fullCommandLine.substr(fullCommandLine.size() - commandTail.size()) == commandTail) {
        program = fullCommandLine.substr(0, fullCommandLine.size() - commandTail.size());
        facts.commandLine = win::ToAnsi(std::wstring(program) + MaskSecretSwitches(commandTail));
    } else {
        facts.commandLine = win::ToAnsi(MaskSecretSwitches(fullCommandLine));
    }
    return ComposeLogHeader(facts);
}

std::string HexStatus(long status) { return text::Hex8(static_cast<unsigned long>(status)); }

bool InitializeCom(SetupContext& context) {
    // Apartment-threaded: the folder dialog and the shell link need it.
    HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (FAILED(hr)) {
        context.Log(LOG_CLIENT, "Failed to initialize COM library. Error code = 0x" + HexStatus(hr));
        return false;
    }
    hr = ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_CONNECT,
                                RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    if (FAILED(hr)) {
        context.Log(LOG_CLIENT, "Failed to initialize security.Error code = 0x" + HexStatus(hr));
        ::CoUninitialize();
        return false;
    }
    return true;
}

HWND OpenFirstDialog(SetupContext& context, int showCommand) {
    const bool maintenance = context.modeFlags & (MODE_UNINSTALL | MODE_REPAIR);
    CreateSetupDialog(context, maintenance ? IDD_MAINTENANCE : IDD_SETUP);
    if (context.dialog) ::ShowWindow(context.dialog, showCommand);
    return context.dialog;
}

int RunMessageLoop() {
    HACCEL accelerators = ::LoadAcceleratorsA(theInstance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    MSG message;
    // No IsDialogMessage: Tab and Enter reach the fields, which move on themselves.
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!::TranslateAcceleratorA(message.hwnd, accelerators, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}
