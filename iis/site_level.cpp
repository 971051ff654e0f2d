#include "iis/site_level.h"

#include "core/context.h"
#include "iis/checked_calls.h"
#include "iis/config_access.h"
#include "iis/site_record.h"
#include "win/text.h"

namespace {

constexpr HRESULT SECTION_LOCKED = static_cast<HRESULT>(0x80070021);
constexpr unsigned long REQUEST_LIMIT_BYTES = 524288000;  // 500 MiB
constexpr wchar_t HIDDEN_SEGMENT[] = L"Update";

struct HandlerEntry {
    std::wstring name;
    const wchar_t* path;
    const wchar_t* verb;
    const wchar_t* modules;
    std::wstring scriptProcessor;  // empty: not set
    const wchar_t* requireAccess;
};

bool AddHandler(IisCalls& calls, IAppHostElementCollection* handlers, const HandlerEntry& handler,
                win::ComPtr<IAppHostElement>& entry) {
    if (!calls.Create(handlers, L"add", entry)) return false;
    calls.Set(entry.Get(), L"name", win::Variant::Text(handler.name));
    calls.Set(entry.Get(), L"path", win::Variant::Text(handler.path));
    calls.Set(entry.Get(), L"verb", win::Variant::Text(handler.verb));
    calls.Set(entry.Get(), L"modules", win::Variant::Text(handler.modules));
    if (!handler.scriptProcessor.empty()) {
        calls.Set(entry.Get(), L"scriptProcessor", win::Variant::Text(handler.scriptProcessor));
    }
    calls.Set(entry.Get(), L"resourceType", win::Variant::Text(L"Either"));
    calls.Set(entry.Get(), L"requireAccess", win::Variant::Text(handler.requireAccess));
    return calls.Append(handlers, entry.Get());
}

// The downloaded installers wait in the server folder's Update folder; the
// site must not serve them. True when the entry was added.
bool HideUpdateFolder(IisCalls& calls, IAppHostElement* filtering) {
    win::ComPtr<IAppHostElement> hidden, entry;
    win::ComPtr<IAppHostElementCollection> segments;
    if (!calls.Child(filtering, L"hiddenSegments", hidden) || !calls.Collection(hidden.Get(), segments)) return false;
    if (iis::FindByKeyNoCase(segments.Get(), L"segment", HIDDEN_SEGMENT, entry)) {
        // IIS refuses a second entry for one segment. One spelled as ours is
        // left untouched, which also spares one inherited from the server
        // level (read-only from the site).
        if (iis::StringProperty(entry.Get(), L"segment") != HIDDEN_SEGMENT) {
            calls.Set(entry.Get(), L"segment", win::Variant::Text(HIDDEN_SEGMENT));
        }
        return false;
    }
    if (!calls.Create(segments.Get(), L"add", entry)) return false;
    calls.Set(entry.Get(), L"segment", win::Variant::Text(HIDDEN_SEGMENT));
    return calls.Append(segments.Get(), entry.Get());
}

}  // namespace

// A site-level setting that could not be made leaves the site unable to serve
// the module: the run reports it, and goes on as before.
std::vector<std::string> ConfigureSiteLevel(IisSession& session, const SiteSpec& spec, RunLog& log) {
    IisCalls calls(log);
    std::vector<std::string> changed;
    const std::wstring path = std::wstring(iis::APPHOST_PATH) + L"/" + win::ToWide(spec.siteName);
    IAppHostWritableAdminManager* manager = session.adminManager.Get();

    HRESULT hr = iis::GetSection(manager, L"system.webServer/handlers", path, session.section);
    if (hr == SECTION_LOCKED) {
        log.Fail(LOG_SERVER, "Please check whether ISAPI is installed");
        return changed;
    }
    if (hr != S_OK || !session.section) {
        log.Fail(LOG_SERVER, "Could not get handlers section");
        return changed;
    }
    bool handlersChanged =
        calls.Set(session.section.Get(), L"accessPolicy", win::Variant::Text(L"Read,Write,Script,Execute"));
    win::ComPtr<IAppHostElementCollection> handlers;
    if (calls.Collection(session.section.Get(), handlers) && handlers) {
        handlersChanged |= calls.Check(handlers->Clear(), "empty the handler list");
        handlersChanged |= AddHandler(calls, handlers.Get(),
                                      {win::ToWide(spec.moduleDescription), L"*.dll", L"GET,POST", L"IsapiModule",
                                       win::ToWide(spec.modulePath), L"Execute"},
                                      session.handlerEntry);
        handlersChanged |= AddHandler(
            calls, handlers.Get(),
            {L"StaticFile", L"*", L"*", L"StaticFileModule,DefaultDocumentModule,DirectoryListingModule", L"", L"Read"},
            session.handlerEntry);
    }
    if (handlersChanged) changed.push_back(SITE_SECTION_HANDLERS);

    if (iis::GetSection(manager, L"system.webServer/defaultDocument", path, session.section) != S_OK ||
        !session.section) {
        log.Fail(LOG_SERVER, "Could not get Default Files section");
        return changed;
    }
    bool documentsChanged = calls.Set(session.section.Get(), L"enabled", win::Variant::Bool(true));
    win::ComPtr<IAppHostElement> files;
    win::ComPtr<IAppHostElementCollection> documents;
    iis::ChildElement(session.section.Get(), L"files", files);
    if (iis::CollectionOf(files.Get(), documents) != S_OK || !documents) {
        if (documentsChanged) changed.push_back(SITE_SECTION_DEFAULT_DOCUMENT);
        log.Fail(LOG_SERVER, "Could not get default document collection");
        return changed;
    }
    documentsChanged |= calls.Check(documents->Clear(), "empty the default documents");
    if (calls.Create(documents.Get(), L"add", session.defaultDocumentEntry)) {
        calls.Set(session.defaultDocumentEntry.Get(), L"value", win::Variant::Text(L"TCorvanta10.dll"));
        documentsChanged |= calls.Append(documents.Get(), session.defaultDocumentEntry.Get());
    }
    if (documentsChanged) changed.push_back(SITE_SECTION_DEFAULT_DOCUMENT);

    win::ComPtr<IAppHostElement> filtering, limits;
    if (iis::GetSection(manager, L"system.webServer/security/requestFiltering", path, filtering) != S_OK ||
        !filtering) {
        log.Fail(LOG_SERVER, "Could not get requestFiltering section");
        return changed;
    }
    win::Bstr limitsName(L"requestLimits");
    win::Bstr lengthName(L"maxAllowedContentLength");
    win::ComPtr<IAppHostProperty> length;
    if (filtering->GetElementByName(limitsName.Get(), limits.Put()) != S_OK || !limits) {
        log.Fail(LOG_SERVER, "Could not get requestLimits element");
    } else if (limits->GetPropertyByName(lengthName.Get(), length.Put()) != S_OK || !length) {
        log.Fail(LOG_SERVER, "Could not get maxAllowedContentLength property");
    } else if (calls.Check(length->put_Value(win::Variant::UInt32(REQUEST_LIMIT_BYTES).Get()),
                           "set maxAllowedContentLength")) {
        changed.push_back(SITE_SECTION_REQUEST_LIMIT);
    }
    if (HideUpdateFolder(calls, filtering.Get())) changed.push_back(SITE_SECTION_HIDDEN_SEGMENT);
    return changed;
}
