// The dialogs' start per mode, colours, Cancel, the proxy, and the keyboard.
#include <gtest/gtest.h>

#include <windows.h>
#include <winhttp.h>

#include "resources/resource.h"
#include "support/dialog_fixture.h"
#include "ui/folder_picker.h"
#include "ui/proxy.h"
#include "ui/setup_dialog.h"
#include "win/text.h"

namespace {

class SetupDialog : public ContextTest {
protected:
    int FocusedId() {
        HWND focus = ::GetFocus();
        int id = ::GetDlgCtrlID(focus);
        char cls[16] = {};
        ::GetClassNameA(::GetParent(focus), cls, sizeof cls);
        return std::string(cls) == "ComboBox" ? ::GetDlgCtrlID(::GetParent(focus)) : id;
    }
    // A key pressed and released in a field, as the keyboard delivers it.
    void Press(int id, WPARAM key) {
        HWND field = Control(id);
        char cls[16] = {};
        ::GetClassNameA(field, cls, sizeof cls);
        if (std::string(cls) == "ComboBox") field = ::FindWindowExA(field, nullptr, "Edit", nullptr);
        ::SetFocus(field);
        ::SendMessageA(field, WM_KEYDOWN, key, 1);
        ::SendMessageA(field, WM_KEYUP, key, 0xC0000001);
        PumpMessages();
        WaitForDialogChecks();
    }
};

TEST_F(SetupDialog, FreshInstallationShowsOnlyTheClientFields) {
    OpenDialog(IDD_SETUP, MODE_INSTALL);
    for (int id : {IDC_SETUP_TYPE, IDC_BIT_SIZE, IDC_CLIENT_DIRECTORY, IDOK, IDCANCEL}) EXPECT_TRUE(Shown(id)) << id;
    for (int id : {IDC_SERVER_DIRECTORY, IDC_SEARCH, IDC_PORT, IDC_PASSWORD_REPEAT, IDC_PROXY_LABEL, IDC_PROXY_SERVER}) {
        EXPECT_FALSE(Visible(id) || ::IsWindowEnabled(Control(id))) << id;
    }
    EXPECT_EQ(ControlText(IDC_SETUP_TYPE), "Both");
    EXPECT_EQ(ControlText(IDC_EDITION), "Starter");
    EXPECT_EQ(ControlText(IDC_BIT_SIZE), "64 Bit");
    EXPECT_EQ(ControlText(IDC_SERVER_DIRECTORY), "c:\\TCorvanta10");
    EXPECT_EQ(ControlText(IDC_CLIENT_DIRECTORY), "");
    EXPECT_EQ(::SendMessageA(Control(IDC_SERVER_DIRECTORY), CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(context.proxy, "          ");
    EXPECT_EQ(context.hosts, "          ");
}

TEST_F(SetupDialog, ModifyShowsEveryControlAndMaintenanceSelectsItsAction) {
    OpenDialog(IDD_SETUP, MODE_MODIFY);
    for (int id : {IDC_PORT, IDC_PROXY_LABEL, IDC_PROXY_SERVER, IDC_SEARCH}) EXPECT_TRUE(Shown(id)) << id;
    ::DestroyWindow(context.dialog);
    OpenDialog(IDD_MAINTENANCE, MODE_REPAIR);
    EXPECT_EQ(::IsDlgButtonChecked(context.dialog, IDC_REPAIR), BST_CHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(context.dialog, IDC_APPLY_SERVER), BST_UNCHECKED);
    ::DestroyWindow(context.dialog);
    OpenDialog(IDD_MAINTENANCE, MODE_UNINSTALL);
    EXPECT_EQ(::IsDlgButtonChecked(context.dialog, IDC_UNINSTALL), BST_CHECKED);
}

TEST_F(SetupDialog, DarkModeTogglesAndReplacesTheBrushEveryTime) {
    OpenDialog(IDD_SETUP, MODE_INSTALL);
    HBRUSH first = context.backgroundBrush.Get();
    ::SendMessageA(context.dialog, WM_COMMAND, IDC_DARK_MODE, 0);
    EXPECT_EQ(context.themeState, 2);
    EXPECT_EQ(context.backColour, 0u);
    EXPECT_EQ(::GetObjectType(first), 0u) << "the old brush is deleted";
    HBRUSH second = context.backgroundBrush.Get();
    ::SendMessageA(context.dialog, WM_COMMAND, IDC_DARK_MODE, 0);
    EXPECT_EQ(context.themeState, 1);
    EXPECT_EQ(context.backColour, 0xFC9614u);
    EXPECT_EQ(context.textColour, 0xFFFFFFu);
    EXPECT_EQ(::GetObjectType(second), 0u);
    EXPECT_EQ(::GetObjectType(context.backgroundBrush.Get()), static_cast<DWORD>(OBJ_BRUSH));
    HDC dc = ::GetDC(context.dialog);
    EXPECT_EQ(::SendMessageA(context.dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), 0),
              reinterpret_cast<LRESULT>(context.backgroundBrush.Get()));
    EXPECT_EQ(::GetTextColor(dc), 0xFFFFFFu);
    ::ReleaseDC(context.dialog, dc);
}

TEST_F(SetupDialog, CancelEndsOnlyOnYesAndWritesNoLog) {
    OpenDialog(IDD_SETUP, MODE_INSTALL);
    host.Answer(IDNO);
    host.Answer(IDCANCEL);
    host.Answer(IDYES);
    for (int i = 0; i < 2; ++i) ::SendMessageA(context.dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(host.exitCode.has_value());
    ::SendMessageA(context.dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(host.exitCode.has_value());
    EXPECT_EQ(*host.exitCode, 0u);
    EXPECT_EQ(host.boxes[0].text, "Do you want to Cancel");
    EXPECT_EQ(host.boxes[0].caption, "TovinSoft Corvanta v 10.1");
    EXPECT_EQ(host.boxes[0].type, static_cast<UINT>(MB_YESNOCANCEL | MB_DEFBUTTON2 | MB_ICONINFORMATION));
    EXPECT_FALSE(FileExists(context.LogFilePath()));
}

TEST_F(SetupDialog, TabAndEnterCheckTheFieldAndMoveOn) {
    OpenDialog(IDD_SETUP, MODE_INSTALL);
    ::ShowWindow(context.dialog, SW_SHOW);
    Press(IDC_SETUP_TYPE, VK_TAB);
    EXPECT_TRUE(Shown(IDC_PORT)) << "Both shows the server fields";
    EXPECT_EQ(FocusedId(), IDC_BIT_SIZE);
    Press(IDC_BIT_SIZE, VK_RETURN);
    EXPECT_EQ(FocusedId(), IDC_CLIENT_DIRECTORY);
    EXPECT_EQ(ControlText(IDC_CLIENT_DIRECTORY), "c:\\Corvanta10App");
    Press(IDC_HOSTS, VK_TAB);  // Shift is not looked at: always forward
    EXPECT_EQ(FocusedId(), IDC_INSTALL_SQL);

    SetControlText(IDC_PORT, "999");
    Press(IDC_PORT, VK_TAB);
    EXPECT_EQ(FocusedId(), IDC_PORT);
    DWORD start = 0, end = 0;
    ::SendMessageA(Control(IDC_PORT), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 3u);
    EXPECT_EQ(host.boxes.back().text, "Please select Port 80 for Http, 443 for Https or port No >1000 like  1064 for custom");

    // Enter in a field never presses OK; Escape never reaches Cancel.
    SetControlText(IDC_PORT, "8080");
    const size_t boxes = host.boxes.size();
    Press(IDC_PORT, VK_RETURN);
    Press(IDC_HOSTS, VK_ESCAPE);
    EXPECT_EQ(host.boxes.size(), boxes);
    EXPECT_FALSE(context.internetSession.Valid());
}

TEST_F(SetupDialog, ProxyButtonShowsTheProxyFields) {
    OpenDialog(IDD_SETUP, MODE_INSTALL);
    ::SendMessageA(context.dialog, WM_COMMAND, IDC_PROXY_BUTTON, 0);
    EXPECT_TRUE(Shown(IDC_PROXY_LABEL) && Shown(IDC_PROXY_SERVER));
}

TEST_F(SetupDialog, DetectsTheWinHttpDefaultProxyAndShowsItInTheLabel) {
    WINHTTP_PROXY_INFO proxy = {WINHTTP_ACCESS_TYPE_NAMED_PROXY, const_cast<wchar_t*>(L"proxy.example:3128"), nullptr};
    ASSERT_TRUE(::WinHttpSetDefaultProxyConfiguration(&proxy));
    OpenDialog(IDD_SETUP, MODE_INSTALL);
    WINHTTP_PROXY_INFO none = {WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr};
    ::WinHttpSetDefaultProxyConfiguration(&none);
    EXPECT_EQ(context.proxy, "proxy.example:3128");
    EXPECT_EQ(ControlText(IDC_PROXY_LABEL), "proxy.example:3128");
    EXPECT_TRUE(Shown(IDC_PROXY_SERVER));
    EXPECT_EQ(ControlText(IDC_PROXY_SERVER), "");
    // Found nothing later: the fields hide, the earlier proxy stays.
    ShowFieldGroup(context, SETUP_CLIENT, true);
    EXPECT_FALSE(Visible(IDC_PROXY_SERVER));
    EXPECT_EQ(context.proxy, "proxy.example:3128");
}

std::optional<std::string> Failing() { return std::nullopt; }
std::optional<std::string> Empty() { return std::string(); }
std::optional<std::string> Browser() { return std::string("browser:8080"); }

TEST(ProxySelection, AsksTheBrowserOnlyWhenTheWinHttpCallFails) {
    EXPECT_EQ(SelectProxyList(Empty, Browser), "");
    EXPECT_EQ(SelectProxyList(Failing, Browser), "browser:8080");
    EXPECT_EQ(SelectProxyList(Failing, Failing), "");
    EXPECT_EQ(FitProxyList("a:1;b:2"), "a:1;b:2");
    EXPECT_EQ(FitProxyList("first:8080;" + std::string(300, 'x')), "first:8080");
    EXPECT_EQ(FitProxyList(std::string(300, 'x')), "");
}

TEST(InstallFolderSearch, TriesTheSystemFoldersThenFixedCandidatesThenFixedDrivesFromC) {
    const auto drives = FixedDriveLetters(0b1111, [](const std::string& root) { return root != "D:\\"; });
    EXPECT_EQ(drives, (std::vector<char>{'C'})) << "A and B are never scanned, D is not fixed here";
    const auto folders = InstallFolderCandidates("C:\\Program Files", "C:\\Program Files (x86)", {'C', 'E'});
    ASSERT_EQ(folders.size(), 14u);
    EXPECT_EQ(folders[0], "C:\\Program Files");
    EXPECT_EQ(folders[5], "D:\\Corvanta10");
    EXPECT_EQ(folders[6], "C:\\");
    EXPECT_EQ(folders[13], "E:\\Program Files (x86)\\TovinSoft\\Corvanta10");
    EXPECT_EQ(text::FolderOfFile("D:\\Corvanta10\\TCorvanta10.dll"), "D:\\Corvanta10");
    EXPECT_EQ(text::FolderOfFile("TCorvanta10.dll"), "TCorvanta10.dll");
}

TEST_F(SetupDialog, TheSearchButtonFillsTheServerDirectoryWithAFoundInstallation) {
    OpenDialog(IDD_SETUP, MODE_MODIFY);
    ::SendMessageA(context.dialog, WM_COMMAND, IDC_SEARCH, 0);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, "No existing Corvanta installation was found");
    ::CreateDirectoryA("D:\\Corvanta10", nullptr);
    ASSERT_TRUE(WriteFileText("D:\\Corvanta10\\TCorvanta10.dll", "module"));
    ::SendMessageA(context.dialog, WM_COMMAND, IDC_SEARCH, 0);
    const auto found = FindInstallFolder();
    RemoveTree("D:\\Corvanta10");
    EXPECT_EQ(ControlText(IDC_SERVER_DIRECTORY), "D:\\Corvanta10");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, "D:\\Corvanta10");
    EXPECT_EQ(host.boxes.size(), 1u);
}

}  // namespace
