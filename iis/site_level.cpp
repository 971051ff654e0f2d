#include "iis/site_level.h"

#include "core/context.h"
#include "iis/checked_calls.h"
#include "iis/config_access.h"
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

void AddHandler(IisCalls& calls, IAppHostElementCollection* handlers, const HandlerEntry& handler,
                win::ComPtr<IAppHostElement>& entry) {
    if (!calls.Create(handlers, L"add", entry)) return;
    calls.Set(entry.Get(), L"name", win::Variant::Text(handler.name));
    calls.Set(entry.Get(), L"path", win::Variant::Text(handler.path));
    calls.Set(entry.Get(), L"verb", win::Variant::Text(handler.verb));
    calls.Set(entry.Get(), L"modules", win::Variant::Text(handler.modules));
    if (!handler.scriptProcessor.empty()) {
        calls.Set(entry.Get(), L"scriptProcessor", win::Variant::Text(handler.scriptProcessor));
    }
    calls.Set(entry.Get(), L"resourceType", win::Variant::Text(L"Either"));
    calls.Set(entry.Get(), L"requireAccess", win::Variant::Text(handler.requireAccess));
    calls.Append(handlers, entry.Get());
}

}  // namespace

// A site-level setting that could not be made leaves the site unable to serve
// the module: the run reports it, and goes on as before.
int ConfigureSiteLevel(IisSession& session, const SiteSpec& spec, RunLog& log) {
    IisCalls calls(log);
    const std::wstring path = std::wstring(iis::APPHOST_PATH) + L"/" + win::ToWide(spec.siteName);
    IAppHostWritableAdminManager* manager = session.adminManager.Get();

    HRESULT hr = iis::GetSection(manager, L"system.webServer/handlers", path, session.section);
    if (hr == SECTION_LOCKED) return log.Fail(LOG_SERVER, "Please check whether ISAPI is installed");
    if (hr != S_OK || !session.section) return log.Fail(LOG_SERVER, "Could not get handlers section");
    win::Bstr accessPolicy(L"accessPolicy");
    if (!accessPolicy) return log.Fail(LOG_SERVER, "BSTR allocation failed");
    calls.Set(session.section.Get(), L"accessPolicy", win::Variant::Text(L"Read,Write,Script,Execute"));
    win::ComPtr<IAppHostElementCollection> handlers;
    if (calls.Collection(session.section.Get(), handlers) && handlers) {
        calls.Check(handlers->Clear(), "empty the handler list");
        AddHandler(calls, handlers.Get(),
                   {win::ToWide(spec.moduleDescription), L"*.dll", L"GET,POST", L"IsapiModule",
                    win::ToWide(spec.modulePath), L"Execute"},
                   session.handlerEntry);
        AddHandler(calls, handlers.Get(),
                   {L"StaticFile", L"*", L"*", L"StaticFileModule,DefaultDocumentModule,DirectoryListingModule", L"",
                    L"Read"},
                   session.handlerEntry);
    }

    if (iis::GetSection(manager, L"system.webServer/defaultDocument", path, session.section) != S_OK ||
        !session.section) {
        return log.Fail(LOG_SERVER, "Could not get Default Files section");
    }
    calls.Set(session.section.Get(), L"enabled", win::Variant::Bool(true));
    win::ComPtr<IAppHostElement> files;
    win::ComPtr<IAppHostElementCollection> documents;
    iis::ChildElement(session.section.Get(), L"files", files);
    if (iis::CollectionOf(files.Get(), documents) != S_OK || !documents) {
        return log.Fail(LOG_SERVER, "Could not get default document collection");
    }
    calls.Check(documents->Clear(), "empty the default documents");
    if (calls.Create(documents.Get(), L"add", session.defaultDocumentEntry)) {
        calls.Set(session.defaultDocumentEntry.Get(), L"value", win::Variant::Text(L"TCorvanta10.dll"));
        calls.Append(documents.Get(), session.defaultDocumentEntry.Get());
    }

    win::ComPtr<IAppHostElement> filtering, limits;
    if (iis::GetSection(manager, L"system.webServer/security/requestFiltering", path, filtering) != S_OK ||
        !filtering) {
        return log.Fail(LOG_SERVER, "Could not get requestFiltering section");
    }
    win::Bstr limitsName(L"requestLimits");
    if (filtering->GetElementByName(limitsName.Get(), limits.Put()) != S_OK || !limits) {
        return log.Fail(LOG_SERVER, "Could not get requestLimits element");
    }
    win::Bstr lengthName(L"maxAllowedContentLength");
    win::ComPtr<IAppHostProperty> length;
    if (limits->GetPropertyByName(lengthName.Get(), length.Put()) != S_OK || !length) {
        return log.Fail(LOG_SERVER, "Could not get maxAllowedContentLength property");
    }
    calls.Check(length->put_Value(win::Variant::UInt32(REQUEST_LIMIT_BYTES).Get()), "set maxAllowedContentLength");
    return 1;
}
