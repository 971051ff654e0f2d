#include "app/context.h"
#include "iis/config_access.h"
#include "setup/server_setup.h"
#include "win/text.h"

namespace {

constexpr HRESULT SECTION_LOCKED = static_cast<HRESULT>(0x80070021);
constexpr unsigned long REQUEST_LIMIT_BYTES = 524288000;  // 500 MiB

struct HandlerEntry {
    std::wstring name;
    const wchar_t* path;
    const wchar_t* verb;
    const wchar_t* modules;
    std::wstring scriptProcessor;  // empty: not set
    const wchar_t* requireAccess;
};

void AddHandler(IAppHostElementCollection* handlers, const HandlerEntry& handler, win::ComPtr<IAppHostElement>& entry) {
    if (FAILED(iis::CreateElement(handlers, L"add", entry))) return;
    iis::SetProperty(entry.Get(), L"name", win::Variant::Text(handler.name));
    iis::SetProperty(entry.Get(), L"path", win::Variant::Text(handler.path));
    iis::SetProperty(entry.Get(), L"verb", win::Variant::Text(handler.verb));
    iis::SetProperty(entry.Get(), L"modules", win::Variant::Text(handler.modules));
    if (!handler.scriptProcessor.empty()) {
        iis::SetProperty(entry.Get(), L"scriptProcessor", win::Variant::Text(handler.scriptProcessor));
    }
    iis::SetProperty(entry.Get(), L"resourceType", win::Variant::Text(L"Either"));
    iis::SetProperty(entry.Get(), L"requireAccess", win::Variant::Text(handler.requireAccess));
    iis::Append(handlers, entry.Get());
}

}  // namespace

// A site-level setting that could not be made leaves the site unable to serve
// the module: the run reports it, and goes on as before.
int ServerSetup::SiteLevelFailure(const char* message) {
    ++owner.failedSteps;
    return owner.Log(LOG_SERVER, message);
}

int ServerSetup::ConfigureSiteLevel() {
    const std::wstring path = std::wstring(iis::APPHOST_PATH) + L"/" + win::ToWide(siteName);
    IAppHostWritableAdminManager* manager = iis.adminManager.Get();

    HRESULT hr = iis::GetSection(manager, L"system.webServer/handlers", path, iis.section);
    if (hr == SECTION_LOCKED) return SiteLevelFailure("Please check whether ISAPI is installed");
    if (hr != S_OK || !iis.section) return SiteLevelFailure("Could not get handlers section");
    win::Bstr accessPolicy(L"accessPolicy");
    if (!accessPolicy) return SiteLevelFailure("BSTR allocation failed");
    iis::SetProperty(iis.section.Get(), L"accessPolicy", win::Variant::Text(L"Read,Write,Script,Execute"));
    win::ComPtr<IAppHostElementCollection> handlers;
    iis::CollectionOf(iis.section.Get(), handlers);
    if (handlers) handlers->Clear();
    AddHandler(handlers.Get(),
               {win::ToWide(moduleDescription), L"*.dll", L"GET,POST", L"IsapiModule", win::ToWide(modulePath),
                L"Execute"},
               iis.handlerEntry);
    AddHandler(handlers.Get(),
               {L"StaticFile", L"*", L"*", L"StaticFileModule,DefaultDocumentModule,DirectoryListingModule", L"", L"Read"},
               iis.handlerEntry);

    if (iis::GetSection(manager, L"system.webServer/defaultDocument", path, iis.section) != S_OK || !iis.section) {
        return SiteLevelFailure("Could not get Default Files section");
    }
    iis::SetProperty(iis.section.Get(), L"enabled", win::Variant::Bool(true));
    win::ComPtr<IAppHostElement> files;
    win::ComPtr<IAppHostElementCollection> documents;
    iis::ChildElement(iis.section.Get(), L"files", files);
    if (iis::CollectionOf(files.Get(), documents) != S_OK || !documents) {
        return SiteLevelFailure("Could not get default document collection");
    }
    documents->Clear();
    if (SUCCEEDED(iis::CreateElement(documents.Get(), L"add", iis.defaultDocumentEntry))) {
        iis::SetProperty(iis.defaultDocumentEntry.Get(), L"value", win::Variant::Text(L"TCorvanta10.dll"));
        iis::Append(documents.Get(), iis.defaultDocumentEntry.Get());
    }

    win::ComPtr<IAppHostElement> filtering, limits;
    if (iis::GetSection(manager, L"system.webServer/security/requestFiltering", path, filtering) != S_OK || !filtering) {
        return SiteLevelFailure("Could not get requestFiltering section");
    }
    win::Bstr limitsName(L"requestLimits");
    if (filtering->GetElementByName(limitsName.Get(), limits.Put()) != S_OK || !limits) {
        return SiteLevelFailure("Could not get requestLimits element");
    }
    win::Bstr lengthName(L"maxAllowedContentLength");
    win::ComPtr<IAppHostProperty> length;
    if (limits->GetPropertyByName(lengthName.Get(), length.Put()) != S_OK || !length) {
        return SiteLevelFailure("Could not get maxAllowedContentLength property");
    }
    length->put_Value(win::Variant::UInt32(REQUEST_LIMIT_BYTES).Get());
    return 1;
}
