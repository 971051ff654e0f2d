// The dialog templates as the program loads them from its own resources.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "resources/resource.h"
#include "support/dialog_fixture.h"

namespace {

enum Kind { STATIC_TEXT, COMBO, EDIT, PASSWORD, BUTTON, DEFAULT_BUTTON, GROUP, RADIO, RADIO_GROUP_START, CHECK };

struct ControlSpec {
    int id;
    Kind kind;
    const char* text;
    int x, y, w, h;
};

const ControlSpec SETUP_CONTROLS[] = {
    {133, STATIC_TEXT, "Setup Type", 10, 10, 50, 14},
    {119, COMBO, "", 76, 10, 50, 42},
    {126, STATIC_TEXT, "BitSize", 200, 10, 50, 14},
    {116, COMBO, "", 260, 10, 50, 42},
    {127, STATIC_TEXT, "Client Directory", 10, 30, 50, 14},
    {120, COMBO, "", 76, 30, 250, 42},
    {128, STATIC_TEXT, "Server Directory", 10, 50, 50, 14},
    {114, COMBO, "", 76, 50, 250, 42},
    {115, BUTTON, " Search ", 330, 50, 30, 14},
    {129, STATIC_TEXT, "Edition", 10, 70, 34, 12},
    {125, COMBO, "", 76, 70, 50, 48},
    {130, STATIC_TEXT, "Port", 200, 70, 34, 12},
    {117, EDIT, "", 260, 70, 30, 14},
    {131, STATIC_TEXT, "Hosts", 10, 90, 34, 12},
    {118, EDIT, "", 76, 90, 135, 14},
    {132, STATIC_TEXT, "Install SQL Server", 10, 110, 100, 12},
    {124, COMBO, "", 76, 110, 40, 48},
    {134, STATIC_TEXT, "Enter Your Password", 10, 130, 100, 12},
    {122, PASSWORD, "", 76, 130, 80, 14},
    {135, STATIC_TEXT, "Re-enter Password", 200, 130, 130, 12},
    {123, PASSWORD, "", 260, 130, 80, 14},
    {137, STATIC_TEXT, "Proxy Server", 10, 150, 100, 12},
    {138, EDIT, "", 76, 150, 135, 14},
    {1, DEFAULT_BUTTON, "OK", 250, 160, 30, 14},
    {2, BUTTON, " Cancel ", 290, 160, 30, 14},
    {136, BUTTON, " Dark Mode ", 330, 160, 50, 14},
    {139, BUTTON, " Proxy ", 390, 160, 30, 14},
};

const ControlSpec MAINTENANCE_CONTROLS[] = {
    {2005, GROUP, "Select Action", 10, 10, 230, 30},
    {2001, RADIO_GROUP_START, "&Uninstall", 20, 20, 60, 10},
    {2002, RADIO, "&Repair", 100, 20, 60, 10},
    {2006, GROUP, "Apply To", 10, 50, 230, 30},
    {2003, CHECK, "Server", 20, 60, 60, 10},
    {2004, CHECK, "Client", 100, 60, 60, 10},
    {1, DEFAULT_BUTTON, "OK", 50, 90, 50, 14},
    {2, BUTTON, "Cancel", 130, 90, 50, 14},
    {136, BUTTON, " Dark Mode ", 190, 90, 50, 14},
};


// One control as the template resource stores it.
struct TemplateItem {
    DWORD style = 0;
    int id = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int atomClass = 0;  // 0x80 button, 0x81 edit, 0x82 static, 0x85 combo box
};

const WORD* SkipSzOrOrd(const WORD* p, int* atom = nullptr) {
    if (*p == 0xFFFF) {
        if (atom) *atom = p[1];
        return p + 2;
    }
    while (*p) ++p;
    return p + 1;
}

// Reads the items of a DLGTEMPLATEEX resource of this program.
std::vector<TemplateItem> ReadTemplate(int id) {
    HRSRC resource = ::FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
    const WORD* p = static_cast<const WORD*>(::LockResource(::LoadResource(nullptr, resource)));
    std::vector<TemplateItem> items;
    if (!p || p[1] != 0xFFFF) return items;  // not an extended template
    const BYTE* bytes = reinterpret_cast<const BYTE*>(p);
    const DWORD style = *reinterpret_cast<const DWORD*>(bytes + 12);
    const WORD count = *reinterpret_cast<const WORD*>(bytes + 16);
    p = reinterpret_cast<const WORD*>(bytes + 26);
    p = SkipSzOrOrd(p);  // menu
    p = SkipSzOrOrd(p);  // class
    p = SkipSzOrOrd(p);  // caption
    if (style & DS_SETFONT) p = SkipSzOrOrd(p + 3);  // point size, weight, italic and charset, face name
    for (WORD i = 0; i < count; ++i) {
        p = reinterpret_cast<const WORD*>((reinterpret_cast<ULONG_PTR>(p) + 3) & ~ULONG_PTR(3));
        const BYTE* item = reinterpret_cast<const BYTE*>(p);
        TemplateItem t;
        t.style = *reinterpret_cast<const DWORD*>(item + 8);
        t.x = *reinterpret_cast<const short*>(item + 12);
        t.y = *reinterpret_cast<const short*>(item + 14);
        t.cx = *reinterpret_cast<const short*>(item + 16);
        t.cy = *reinterpret_cast<const short*>(item + 18);
        t.id = static_cast<int>(*reinterpret_cast<const DWORD*>(item + 20));
        p = reinterpret_cast<const WORD*>(item + 24);
        p = SkipSzOrOrd(p, &t.atomClass);
        p = SkipSzOrOrd(p);
        const WORD extra = *p++;
        p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + extra);
        items.push_back(t);
    }
    return items;
}

class DialogTemplates : public ContextTest {
protected:
    std::string ClassOf(HWND control) {
        char name[64] = {};
        ::GetClassNameA(control, name, sizeof name);
        return name;
    }

    void ExpectControl(HWND dialog, const ControlSpec& spec, const TemplateItem& item, HWND previous) {
        SCOPED_TRACE("control " + std::to_string(spec.id));
        HWND control = ::GetDlgItem(dialog, spec.id);
        ASSERT_NE(control, nullptr);
        if (previous) {
            EXPECT_EQ(::GetWindow(previous, GW_HWNDNEXT), control) << "template order";
        }
        EXPECT_EQ(item.id, spec.id) << "template order";
        EXPECT_EQ(item.x, spec.x);
        EXPECT_EQ(item.y, spec.y);
        EXPECT_EQ(item.cx, spec.w);
        EXPECT_EQ(item.cy, spec.h);
        const LONG style = static_cast<LONG>(item.style);
        const std::string cls = ClassOf(control);
        switch (spec.kind) {
            case STATIC_TEXT:
                EXPECT_EQ(cls, "Static");
                EXPECT_EQ(style & SS_TYPEMASK, SS_LEFT);
                break;
            case COMBO:
                EXPECT_EQ(cls, "ComboBox");
                EXPECT_EQ(style & 3, CBS_DROPDOWN);
                EXPECT_TRUE(style & CBS_SORT);
                EXPECT_TRUE(style & WS_VSCROLL);
                EXPECT_TRUE(style & WS_TABSTOP);
                break;
            case EDIT:
            case PASSWORD:
                EXPECT_EQ(cls, "Edit");
                EXPECT_TRUE(style & WS_BORDER);
                EXPECT_TRUE(style & WS_TABSTOP);
                EXPECT_TRUE(style & ES_AUTOHSCROLL);
                EXPECT_EQ((style & ES_PASSWORD) != 0, spec.kind == PASSWORD);
                break;
            case BUTTON:
                EXPECT_EQ(cls, "Button");
                EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON);
                break;
            case DEFAULT_BUTTON:
                EXPECT_EQ(cls, "Button");
                EXPECT_EQ(style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
                break;
            case GROUP:
                EXPECT_EQ(style & BS_TYPEMASK, BS_GROUPBOX);
                break;
            case RADIO_GROUP_START:
                EXPECT_TRUE(style & WS_GROUP);
                [[fallthrough]];
            case RADIO:
                EXPECT_EQ(style & BS_TYPEMASK, BS_AUTORADIOBUTTON);
                break;
            case CHECK:
                EXPECT_EQ(style & BS_TYPEMASK, BS_AUTOCHECKBOX);
                EXPECT_TRUE(style & WS_TABSTOP);
                break;
        }
        if (spec.kind != COMBO) {
            EXPECT_EQ(ControlText(spec.id), spec.text);
        }

        // Windows maps the position and the size of a control separately.
        RECT position = {spec.x, spec.y, 0, 0};
        RECT size = {0, 0, spec.w, spec.h};
        ::MapDialogRect(dialog, &position);
        ::MapDialogRect(dialog, &size);
        RECT expected = {position.left, position.top, position.left + size.right, position.top + size.bottom};
        RECT actual;
        ::GetWindowRect(control, &actual);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, expected.left);
        EXPECT_EQ(actual.top, expected.top);
        EXPECT_EQ(actual.right - actual.left, expected.right - expected.left);
        if (spec.kind != COMBO) {
            EXPECT_EQ(actual.bottom - actual.top, expected.bottom - expected.top);
        }
    }

    void ExpectDialogFrame(HWND dialog, const char* caption, int width, int height) {
        char text[128] = {};
        ::GetWindowTextA(dialog, text, sizeof text);
        EXPECT_STREQ(text, caption);
        const LONG style = ::GetWindowLongA(dialog, GWL_STYLE);
        EXPECT_TRUE(style & WS_POPUP);
        EXPECT_TRUE(style & WS_CAPTION);
        EXPECT_TRUE(style & WS_SYSMENU);
        EXPECT_TRUE(style & DS_MODALFRAME);
        EXPECT_FALSE(style & WS_VISIBLE) << "shown by the entry point, not by the template";
        RECT size = {0, 0, width, height};
        ::MapDialogRect(dialog, &size);
        RECT client;
        ::GetClientRect(dialog, &client);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);
    }

    void ExpectStatusControls(HWND dialog) {
        RECT client;
        ::GetClientRect(dialog, &client);
        HWND status = ::GetDlgItem(dialog, IDC_STATUS_LINE);
        HWND bar = ::GetDlgItem(dialog, IDC_PROGRESS_BAR);
        ASSERT_NE(status, nullptr);
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(ClassOf(status), "Static");
        EXPECT_TRUE(::GetWindowLongA(status, GWL_STYLE) & SS_NOPREFIX);
        EXPECT_EQ(ClassOf(bar), "msctls_progress32");
        RECT s, b;
        ::GetWindowRect(status, &s);
        ::GetWindowRect(bar, &b);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&s), 2);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&b), 2);
        EXPECT_EQ(s.left, 16);
        EXPECT_EQ(s.right, client.right - 16);
        EXPECT_EQ(s.top, client.bottom - 38);
        EXPECT_EQ(s.bottom - s.top, 22);
        EXPECT_EQ(b.left, 16);
        EXPECT_EQ(b.right, client.right - 16);
        EXPECT_EQ(b.top, client.bottom - 62);
        EXPECT_EQ(b.bottom - b.top, 18);
        EXPECT_EQ(::SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 0);
        EXPECT_EQ(::SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 100);
        EXPECT_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
    }
};

TEST_F(DialogTemplates, SetupDialogHasEveryControlAsTabled) {
    HWND dialog = OpenDialog(IDD_SETUP, MODE_MODIFY);
    ASSERT_NE(dialog, nullptr);
    ExpectDialogFrame(dialog, "TovinSoft Corvanta v10.1 Setup", 450, 210);
    const std::vector<TemplateItem> items = ReadTemplate(IDD_SETUP);
    ASSERT_EQ(items.size(), std::size(SETUP_CONTROLS));
    HWND previous = nullptr;
    for (size_t i = 0; i < items.size(); ++i) {
        const ControlSpec& spec = SETUP_CONTROLS[i];
        ExpectControl(dialog, spec, items[i], previous);
        previous = ::GetDlgItem(dialog, spec.id);
    }
    ExpectStatusControls(dialog);
    EXPECT_EQ(ControlText(IDC_STATUS_LINE), "Please use Tab/Enter to go to next field.");
}

TEST_F(DialogTemplates, MaintenanceDialogHasEveryControlAsTabled) {
    HWND dialog = OpenDialog(IDD_MAINTENANCE, MODE_UNINSTALL);
    ASSERT_NE(dialog, nullptr);
    ExpectDialogFrame(dialog, "Uninstall, Modify or Repair", 250, 200);
    const std::vector<TemplateItem> items = ReadTemplate(IDD_MAINTENANCE);
    ASSERT_EQ(items.size(), std::size(MAINTENANCE_CONTROLS));
    HWND previous = nullptr;
    for (size_t i = 0; i < items.size(); ++i) {
        const ControlSpec& spec = MAINTENANCE_CONTROLS[i];
        ExpectControl(dialog, spec, items[i], previous);
        previous = ::GetDlgItem(dialog, spec.id);
    }
    ExpectStatusControls(dialog);
}

TEST_F(DialogTemplates, AcceleratorTableSwallowsAltQuestionMarkAndAltSlash) {
    HACCEL table = ::LoadAcceleratorsA(theInstance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ASSERT_NE(table, nullptr);
    ACCEL entries[4] = {};
    ASSERT_EQ(::CopyAcceleratorTableA(table, entries, 4), 2);
    for (const ACCEL& entry : entries) {
        if (!entry.cmd) continue;
        EXPECT_EQ(entry.cmd, IDM_ABOUT_KEY);
        EXPECT_TRUE(entry.fVirt & FALT);
        EXPECT_TRUE(entry.key == '?' || entry.key == '/');
    }
}

TEST_F(DialogTemplates, VersionResourceNamesTheProductAndItsMaker) {
    char path[MAX_PATH];
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path, &ignored);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(::GetFileVersionInfoA(path, 0, size, block.data()));
    auto value = [&](const char* name) {
        char* text = nullptr;
        UINT length = 0;
        std::string query = std::string("\\StringFileInfo\\040904b0\\") + name;
        return ::VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) && text
                   ? std::string(text)
                   : std::string();
    };
    EXPECT_EQ(value("CompanyName"), "TovinSoft");
    EXPECT_EQ(value("FileDescription"), "Corvanta 10.1 Setup");
    EXPECT_EQ(value("ProductVersion"), "10.1.3");
}

}  // namespace
