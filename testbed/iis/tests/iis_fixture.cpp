#include "iis_fixture.h"

#include <windows.h>

#include <cstdio>

#include "document.h"
#include "site_state.h"
#include "win/handles.h"

namespace iistest {
namespace {

constexpr wchar_t kScenarioKey[] = L"SOFTWARE\\CorvantaTestbed\\Iis";

void WriteFileBytes(const std::wstring& path, std::string_view bytes) {
    win::FileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw Failure("cannot write " + Narrow(path));
    DWORD written = 0;
    if (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        throw Failure("short write to " + Narrow(path));
    }
}

std::wstring Wide(std::string_view text) {
    std::wstring out;
    for (char c : text) out += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return out;
}

}  // namespace

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
        throw Failure(std::string(what) + " failed with " + code);
    }
}

void IisTest::SetUp() {
    ASSERT_TRUE(com_.Succeeded());
    savedConfig_ = iisadmin::ReadWholeFile(iisadmin::ConfigurationFilePath(), nullptr);
    savedLog_ = iisadmin::ReadWholeFile(iisadmin::kStateLog, nullptr);
    ::DeleteFileW(iisadmin::kStateLog);
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kScenarioKey, KEY_WOW64_64KEY, 0);
}

void IisTest::TearDown() {
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kScenarioKey, KEY_WOW64_64KEY, 0);
    if (savedConfig_) {
        WriteFileBytes(iisadmin::ConfigurationFilePath(), *savedConfig_);
    } else {
        ::DeleteFileW(iisadmin::ConfigurationFilePath().c_str());
    }
    if (savedLog_) {
        WriteFileBytes(iisadmin::kStateLog, *savedLog_);
    } else {
        ::DeleteFileW(iisadmin::kStateLog);
    }
}

void IisTest::UseScenario(const wchar_t* name) {
    const std::wstring source = std::wstring(L"" IIS_SCENARIO_DIR) + L"/" + name + L".config";
    std::optional<std::string> bytes = iisadmin::ReadWholeFile(source, nullptr);
    if (!bytes) throw Failure("no scenario " + Narrow(source));
    WriteConfiguration(*bytes);
}

void IisTest::RemoveConfiguration() { ::DeleteFileW(iisadmin::ConfigurationFilePath().c_str()); }

void IisTest::WriteConfiguration(std::string_view bytes) {
    const std::wstring path = iisadmin::ConfigurationFilePath();
    ::CreateDirectoryW(path.substr(0, path.rfind(L"\\config")).c_str(), nullptr);
    ::CreateDirectoryW(path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
    WriteFileBytes(path, bytes);
}

std::string IisTest::ConfigText() {
    return iisadmin::ReadWholeFile(iisadmin::ConfigurationFilePath(), nullptr).value_or("");
}

std::string IisTest::StateLog() { return iisadmin::ReadWholeFile(iisadmin::kStateLog, nullptr).value_or(""); }

SiteFolder::SiteFolder(std::wstring folder) : folder_(std::move(folder)) {
    for (std::wstring at = folder_; ::GetFileAttributesW(at.c_str()) == INVALID_FILE_ATTRIBUTES;) {
        made_.push_back(at);
        const size_t slash = at.rfind(L'\\');
        if (slash == std::wstring::npos || slash <= 2) break;
        at.resize(slash);
    }
    for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder) ::CreateDirectoryW(folder->c_str(), nullptr);
    saved_ = iisadmin::ReadWholeFile(WebConfigPath(), nullptr);
    ::DeleteFileW(WebConfigPath().c_str());
}

SiteFolder::~SiteFolder() {
    ::DeleteFileW(WebConfigPath().c_str());
    if (saved_) {
        try {
            WriteFileBytes(WebConfigPath(), *saved_);
        } catch (const Failure& failure) {
            ADD_FAILURE() << failure.what();  // a destructor must not throw
        }
        return;
    }
    for (const auto& folder : made_) ::RemoveDirectoryW(folder.c_str());
}

std::string SiteFolder::WebConfig() const { return iisadmin::ReadWholeFile(WebConfigPath(), nullptr).value_or(""); }

bool SiteFolder::HasWebConfig() const {
    return ::GetFileAttributesW(WebConfigPath().c_str()) != INVALID_FILE_ATTRIBUTES;
}

void SiteFolder::WriteWebConfig(std::string_view bytes) const { WriteFileBytes(WebConfigPath(), bytes); }

HRESULT IisTest::CreateManager(ComPtr<IAppHostWritableAdminManager>& manager) {
    return ::CoCreateInstance(CLSID_AppHostWritableAdminManager, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IAppHostWritableAdminManager, manager.PutVoid());
}

ComPtr<IAppHostWritableAdminManager> IisTest::NewManager() {
    ComPtr<IAppHostWritableAdminManager> manager;
    Check(CreateManager(manager), "CoCreateInstance of the writable admin manager");
    return manager;
}

HRESULT OpenSection(IAppHostWritableAdminManager* manager, std::wstring_view section, std::wstring_view path,
                    ComPtr<IAppHostElement>& out) {
    Bstr name(section);
    Bstr where(path);
    return manager->GetAdminSection(name.Get(), where.Get(), out.Put());
}

ComPtr<IAppHostElement> Section(IAppHostWritableAdminManager* manager, std::wstring_view section,
                                std::wstring_view path) {
    ComPtr<IAppHostElement> element;
    Check(OpenSection(manager, section, path, element), "GetAdminSection");
    return element;
}

ComPtr<IAppHostElementCollection> CollectionOf(IAppHostElement* element) {
    ComPtr<IAppHostElementCollection> collection;
    Check(element->get_Collection(collection.Put()), "get_Collection");
    return collection;
}

DWORD CountOf(IAppHostElementCollection* collection) {
    DWORD count = 0;
    Check(collection->get_Count(&count), "get_Count");
    return count;
}

ComPtr<IAppHostElement> ItemAt(IAppHostElementCollection* collection, long index) {
    ComPtr<IAppHostElement> item;
    Check(collection->get_Item(Index(index).Get(), item.Put()), "get_Item");
    return item;
}

ComPtr<IAppHostElement> Find(IAppHostElementCollection* collection, std::wstring_view value, std::wstring_view key) {
    const DWORD count = CountOf(collection);
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IAppHostElement> item = ItemAt(collection, static_cast<long>(i));
        if (Text(item.Get(), key) == value) return item;
    }
    return {};
}

ComPtr<IAppHostElement> ChildOf(IAppHostElement* element, std::wstring_view name) {
    ComPtr<IAppHostChildElementCollection> children;
    Check(element->get_ChildElements(children.Put()), "get_ChildElements");
    ComPtr<IAppHostElement> child;
    Check(children->get_Item(Variant::Text(name).Get(), child.Put()), "child get_Item");
    return child;
}

ComPtr<IAppHostElement> CreateEntry(IAppHostElementCollection* collection, std::wstring_view name) {
    ComPtr<IAppHostElement> entry;
    Bstr text(name);
    Check(collection->CreateNewElement(text.Get(), entry.Put()), "CreateNewElement");
    return entry;
}

std::wstring Text(IAppHostElement* element, std::wstring_view property) {
    ComPtr<IAppHostProperty> p;
    Bstr name(property);
    Check(element->GetPropertyByName(name.Get(), p.Put()), "GetPropertyByName");
    Bstr value;
    Check(p->get_StringValue(value.Put()), "get_StringValue");
    return std::wstring(value.View());
}

Variant Value(IAppHostElement* element, std::wstring_view property) {
    ComPtr<IAppHostProperty> p;
    Bstr name(property);
    Check(element->GetPropertyByName(name.Get(), p.Put()), "GetPropertyByName");
    Variant value;
    Check(p->get_Value(value.Put()), "get_Value");
    return value;
}

HRESULT Set(IAppHostElement* element, std::wstring_view property, const Variant& value) {
    ComPtr<IAppHostProperty> p;
    Bstr name(property);
    HRESULT hr = element->GetPropertyByName(name.Get(), p.Put());
    if (FAILED(hr)) return hr;
    return p->put_Value(value.Get());
}

void SetText(IAppHostElement* element, std::wstring_view property, std::wstring_view value) {
    Check(Set(element, property, Variant::Text(value)), "put_Value");
}

HRESULT RunMethod(IAppHostElement* element, std::wstring_view method) {
    ComPtr<IAppHostMethodCollection> methods;
    Check(element->get_Methods(methods.Put()), "get_Methods");
    ComPtr<IAppHostMethod> found;
    Check(methods->get_Item(Variant::Text(method).Get(), found.Put()), "method get_Item");
    ComPtr<IAppHostMethodInstance> instance;
    Check(found->CreateInstance(instance.Put()), "CreateInstance");
    return instance->Execute();
}

Variant Index(long index) { return Variant::Int32(index); }

std::string Narrow(std::wstring_view text) {
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

size_t Occurrences(std::string_view text, std::string_view part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

int RunInstallScript(const char* argument) {
    // Wine starts Unix programs but gives no handle to wait on: the script's
    // exit code arrives in a file instead.
    const std::string done = std::string(IIS_BUILD_DIR) + "/testbed/iis/install-script.done";
    const std::wstring doneWindows = L"Z:" + Wide(done);
    ::DeleteFileW(doneWindows.c_str());
    std::wstring command = L"Z:\\bin\\bash -c \"CORVANTA_BUILD_DIR='" + Wide(IIS_BUILD_DIR) + L"' bash '" +
                           Wide(IIS_INSTALL_SCRIPT) + L"' " + Wide(argument) + L" >/dev/null 2>&1; echo $? >'" +
                           Wide(done) + L".tmp' && mv '" + Wide(done) + L".tmp' '" + Wide(done) + L"'\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        throw Failure("cannot start bash for install.sh");
    }
    if (process.hProcess) ::CloseHandle(process.hProcess);
    if (process.hThread) ::CloseHandle(process.hThread);
    for (int waited = 0; waited < 600; ++waited) {
        if (std::optional<std::string> code = iisadmin::ReadWholeFile(doneWindows, nullptr)) {
            ::DeleteFileW(doneWindows.c_str());
            return std::atoi(code->c_str());
        }
        ::Sleep(100);
    }
    throw Failure("install.sh did not finish within a minute");
}

}  // namespace iistest
