#pragma once
// What the web site tests share: the server folder the site's web.config
// lives in, and the installation as the setup calls it, its outcome kept.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "iis/website.h"
#include "setup/server_website.h"
#include "support/dialog_fixture.h"
#include "support/registry.h"
#include "support/temp_folder.h"
#include "support/testbed_access.h"

constexpr char MANAGER_CLASS[] = "Software\\Classes\\CLSID\\{2B72133B-3F5B-4602-8952-803546CE3344}\\InprocServer32";
constexpr char SERVER_FOLDER[] = "C:\\TCorvanta10";
constexpr char SITE_WEB_CONFIG[] = "C:\\TCorvanta10\\web.config";
constexpr char IIS_SETTINGS_KEY[] = "SOFTWARE\\CorvantaTestbed\\Iis";

// The server folder as the setup leaves it before it configures IIS, which
// keeps the site's own settings in a web.config there; the file goes with the
// test and the folder, when the test made it, too.
class ServerFolder {
public:
    ServerFolder() : made_(::CreateDirectoryA(SERVER_FOLDER, nullptr) != 0) {
        existed_ = ::GetFileAttributesA(SITE_WEB_CONFIG) != INVALID_FILE_ATTRIBUTES;
        if (existed_) saved_ = ReadFileText(SITE_WEB_CONFIG);
        ::DeleteFileA(SITE_WEB_CONFIG);
    }
    ~ServerFolder() {
        ::DeleteFileA(SITE_WEB_CONFIG);
        if (existed_) WriteFileText(SITE_WEB_CONFIG, saved_);
        if (made_) ::RemoveDirectoryA(SERVER_FOLDER);
    }
    ServerFolder(const ServerFolder&) = delete;
    ServerFolder& operator=(const ServerFolder&) = delete;

private:
    bool made_;
    bool existed_ = false;
    std::string saved_;
};

// The machine without the IIS administration class for the test's duration.
class ManagerClassRemoved {
public:
    ManagerClassRemoved() : dll_(RegistryString(HKEY_LOCAL_MACHINE, MANAGER_CLASS, "")) {
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, MANAGER_CLASS);
    }
    ~ManagerClassRemoved() {
        SetRegistryString(HKEY_LOCAL_MACHINE, MANAGER_CLASS, "", dll_);
        SetRegistryString(HKEY_LOCAL_MACHINE, MANAGER_CLASS, "ThreadingModel", "Both");
    }
    ManagerClassRemoved(const ManagerClassRemoved&) = delete;
    ManagerClassRemoved& operator=(const ManagerClassRemoved&) = delete;

private:
    std::string dll_;
};

class SiteTest : public ContextTest {
protected:
    // The installation for the port, as the server setup specifies it.
    WebsiteOutcome InstallOn(long port) {
        context.port = port;
        context.serverDirectory = "C:\\TCorvanta10\\";
        return InstallWebsite(session, WebsiteSpecOf(context, REBIND_PORT), context.serverDirectory, context);
    }
    static std::string Config() { return ReadFileText(IIS_CONFIG); }
    static size_t CountIn(const std::string& text, const std::string& part) {
        size_t count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
        return count;
    }
    bool Logged(const std::string& line) { return LogText().find(line + "\r\n") != std::string::npos; }

    IisSession session;
    ServerFolder serverFolder;
};
