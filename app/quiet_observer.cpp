#include "app/quiet_observer.h"

#include <vector>

#include "core/context.h"

int DefaultAnswer(UINT type) {
    std::vector<int> buttons;
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL: buttons = {IDOK, IDCANCEL}; break;
        case MB_ABORTRETRYIGNORE: buttons = {IDABORT, IDRETRY, IDIGNORE}; break;
        case MB_YESNOCANCEL: buttons = {IDYES, IDNO, IDCANCEL}; break;
        case MB_YESNO: buttons = {IDYES, IDNO}; break;
        case MB_RETRYCANCEL: buttons = {IDRETRY, IDCANCEL}; break;
        case MB_CANCELTRYCONTINUE: buttons = {IDCANCEL, IDTRYAGAIN, IDCONTINUE}; break;
        default: buttons = {IDOK}; break;
    }
    // MB_DEFBUTTON2 is 0x100, MB_DEFBUTTON3 0x200, MB_DEFBUTTON4 0x300.
    const size_t index = (type & MB_DEFMASK) >> 8;
    return index < buttons.size() ? buttons[index] : buttons.front();
}

int QuietObserver::Ask(const std::string& text, const std::string& caption, UINT type) {
    context_.Log(LOG_UI, BoxLogText(caption, text));
    return DefaultAnswer(type);
}
