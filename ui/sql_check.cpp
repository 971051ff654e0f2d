#include "ui/sql_check.h"

#include <thread>
#include <vector>

#include "core/context.h"
#include "prereq/sql_setup.h"
#include "ui/field_groups.h"
#include "ui/setup_dialog.h"
#include "win/com.h"

namespace {

// One dialog per process, one detection at a time.
struct Detection {
    bool pending = false;
    std::thread thread;
    std::vector<HWND> locked;  // the controls it disabled, enabled again at its end
    HWND focus = nullptr;      // where the focus was when it began
};
Detection detection;

}  // namespace

void StartSqlDetection(SetupContext& context) {
    if (detection.pending || !context.dialog) return;
    detection.pending = ::PostMessageA(context.dialog, WM_SQL_CHECK, 0, 0) != FALSE;
}

void BeginSqlDetection(SetupContext& context) {
    if (detection.thread.joinable()) return;
    detection.focus = ::GetFocus();  // disabling takes the focus away
    detection.locked = LockControls(context);
    HWND dialog = context.dialog;
    detection.thread = std::thread([&context, dialog] {
        int found = 0;
        {
            win::ComInit com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
            try {
                found = context.sql->DetectSqlServer();
            } catch (...) {
                found = 0;  // as a detection that found nothing
            }
        }
        ::PostMessageA(dialog, WM_SQL_CHECKED, static_cast<WPARAM>(found), 0);
    });
}

void EndSqlDetection(SetupContext& context, bool found) {
    if (detection.thread.joinable()) detection.thread.join();
    UnlockControls(detection.locked);
    detection.locked.clear();
    detection.pending = false;
    if (found) ShowSqlControls(context, false);
    HWND focus = detection.focus;
    detection.focus = nullptr;
    if (focus && ::IsWindow(focus) && ::IsWindowEnabled(focus) && ::IsWindowVisible(focus)) {
        ::SendMessageA(context.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);
    }
}

bool SqlDetectionPending() { return detection.pending; }

void WaitForSqlDetection() {
    if (detection.thread.joinable()) detection.thread.join();
    detection = Detection{};
}
