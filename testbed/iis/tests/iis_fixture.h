#pragma once
// What the stand-in's tests share: a scenario put in place for each test (and
// the machine's own configuration and site states restored afterwards), the
// manager made through CoCreateInstance like the setup makes it, and short
// helpers for the calls the setup makes. A helper that cannot do its part
// throws, which fails the test that called it.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "win/app_host_admin.h"
#include "win/com.h"

namespace iistest {

using win::Bstr;
using win::ComPtr;
using win::Variant;

inline constexpr wchar_t kServer[] = L"MACHINE/WEBROOT/APPHOST";
inline constexpr wchar_t kSites[] = L"system.applicationHost/sites";
inline constexpr wchar_t kPools[] = L"system.applicationHost/applicationPools";
inline constexpr wchar_t kRestrictions[] = L"system.webServer/security/isapiCgiRestriction";
inline constexpr wchar_t kHandlers[] = L"system.webServer/handlers";
inline constexpr wchar_t kDefaultDocument[] = L"system.webServer/defaultDocument";
inline constexpr wchar_t kRequestFiltering[] = L"system.webServer/security/requestFiltering";

class IisTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void UseScenario(const wchar_t* name);
    void RemoveConfiguration();
    void WriteConfiguration(std::string_view bytes);
    std::string ConfigText();
    std::string StateLog();

    HRESULT CreateManager(ComPtr<IAppHostWritableAdminManager>& manager);
    ComPtr<IAppHostWritableAdminManager> NewManager();

private:
    win::ComInit com_{COINIT_MULTITHREADED};
    std::optional<std::string> savedConfig_;
    std::optional<std::string> savedLog_;
};

// A site's folder for the test's duration: made (with its parents) when
// missing and its web.config taken away; afterwards both are as they were.
class SiteFolder {
public:
    explicit SiteFolder(std::wstring folder);
    ~SiteFolder();
    SiteFolder(const SiteFolder&) = delete;
    SiteFolder& operator=(const SiteFolder&) = delete;

    // The web.config's text; "" when there is none.
    std::string WebConfig() const;
    bool HasWebConfig() const;
    void WriteWebConfig(std::string_view bytes) const;

private:
    std::wstring WebConfigPath() const { return folder_ + L"\\web.config"; }

    std::wstring folder_;
    std::vector<std::wstring> made_;  // innermost first
    std::optional<std::string> saved_;
};

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};
void Check(HRESULT hr, const char* what);

HRESULT OpenSection(IAppHostWritableAdminManager* manager, std::wstring_view section, std::wstring_view path,
                    ComPtr<IAppHostElement>& out);
ComPtr<IAppHostElement> Section(IAppHostWritableAdminManager* manager, std::wstring_view section,
                                std::wstring_view path = kServer);
ComPtr<IAppHostElementCollection> CollectionOf(IAppHostElement* element);
DWORD CountOf(IAppHostElementCollection* collection);
ComPtr<IAppHostElement> ItemAt(IAppHostElementCollection* collection, long index);
// The first entry whose "name" (or the given key) has that text; null when none.
ComPtr<IAppHostElement> Find(IAppHostElementCollection* collection, std::wstring_view value,
                             std::wstring_view key = L"name");
ComPtr<IAppHostElement> ChildOf(IAppHostElement* element, std::wstring_view name);
ComPtr<IAppHostElement> CreateEntry(IAppHostElementCollection* collection, std::wstring_view name);

// get_StringValue of a property.
std::wstring Text(IAppHostElement* element, std::wstring_view property);
// get_Value of a property.
Variant Value(IAppHostElement* element, std::wstring_view property);
// Setting a property the way the setup does: GetPropertyByName, put_Value.
HRESULT Set(IAppHostElement* element, std::wstring_view property, const Variant& value);
void SetText(IAppHostElement* element, std::wstring_view property, std::wstring_view value);

// Runs a method of the element the way the setup does: get_Methods, get_Item
// by name, CreateInstance, Execute; Execute's answer.
HRESULT RunMethod(IAppHostElement* element, std::wstring_view method);

Variant Index(long index);
std::string Narrow(std::wstring_view text);
size_t Occurrences(std::string_view text, std::string_view part);

// Runs testbed/iis/install.sh with the argument from inside the machine and
// waits for it; its exit code.
int RunInstallScript(const char* argument);

}  // namespace iistest
