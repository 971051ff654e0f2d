#include "iis/site_removal.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "core/context.h"
#include "iis/config_access.h"
#include "iis/pool_control.h"
#include "iis/web_config_file.h"
#include "iis/website.h"
#include "win/text.h"

namespace {

// A site or pool the running server does not know: there is nothing to stop.
constexpr HRESULT OBJECT_UNKNOWN = static_cast<HRESULT>(0x800710D8);
constexpr wchar_t HIDDEN_SEGMENT[] = L"Update";

std::string Hex(HRESULT hr) { return "0x" + text::Hex8(static_cast<unsigned long>(hr)); }

bool Recorded(const SiteRecord& record, const char* section) {
    return std::find(record.siteSections.begin(), record.siteSections.end(), section) != record.siteSections.end();
}

bool NothingRecorded(const SiteRecord& record) {
    return record.site.empty() && record.pool.empty() && record.restriction.empty() && record.siteSections.empty() &&
           record.movedSite.empty();
}

class Removal {
public:
    Removal(IisSession& session, const SiteRecord& record, RunLog& log) : session_(session), record_(record), log_(log) {}

    bool Failed() const { return failed_; }
    bool Fail(const std::string& what, HRESULT hr) {
        log_.Fail(LOG_SERVER, what, Hex(hr));
        failed_ = true;
        return false;
    }
    void FailPlain(const std::string& what, const std::string& detail) {
        log_.Fail(LOG_SERVER, what, detail);
        failed_ = true;
    }

    void Stop(IAppHostElementCollection* collection, const std::string& name, const std::string& kind) {
        win::ComPtr<IAppHostElement> element;
        if (name.empty() || !iis::FindByName(collection, win::ToWide(name), element)) return;
        const HRESULT hr = iis::ExecuteMethod(element.Get(), L"Stop");
        if (SUCCEEDED(hr) || IsPoolAlreadyInState(hr) || hr == OBJECT_UNKNOWN) return;
        Fail("Could not stop the " + kind + " " + name, hr);
    }

    bool SetCommitPath(const std::wstring& path) {
        win::Bstr commitPath(path);
        const HRESULT hr = session_.adminManager->put_CommitPath(commitPath.Get());
        return SUCCEEDED(hr) || Fail("Could not set the commit path " + win::ToAnsi(path), hr);
    }

    // Site level: only the settings the record names; the web.config may hold
    // an administrator's own beside them.
    bool RemoveSiteSettings(std::vector<std::string>& removed) {
        const std::wstring path = std::wstring(iis::APPHOST_PATH) + L"/" + win::ToWide(record_.site);
        IAppHostWritableAdminManager* manager = session_.adminManager.Get();
        if (Recorded(record_, SITE_SECTION_HANDLERS) && ClearSection(manager, L"system.webServer/handlers", path)) {
            removed.push_back(SITE_SECTION_HANDLERS);
        }
        if (Recorded(record_, SITE_SECTION_DEFAULT_DOCUMENT) &&
            ClearSection(manager, L"system.webServer/defaultDocument", path)) {
            removed.push_back(SITE_SECTION_DEFAULT_DOCUMENT);
        }
        const bool limit = Recorded(record_, SITE_SECTION_REQUEST_LIMIT);
        const bool segment = Recorded(record_, SITE_SECTION_HIDDEN_SEGMENT);
        if (!limit && !segment) return !removed.empty();
        win::ComPtr<IAppHostElement> filtering;
        HRESULT hr = iis::GetSection(manager, L"system.webServer/security/requestFiltering", path, filtering);
        if (FAILED(hr)) {
            Fail("Could not open the request filtering of " + record_.site, hr);
            return !removed.empty();
        }
        if (limit && ClearRequestLimit(filtering.Get())) removed.push_back(SITE_SECTION_REQUEST_LIMIT);
        if (segment && DeleteHiddenSegment(filtering.Get())) removed.push_back(SITE_SECTION_HIDDEN_SEGMENT);
        return !removed.empty();
    }

    // Server level: each line is logged once the commit has written it.
    bool RemoveServerElements(std::vector<std::string>& lines) {
        if (!record_.site.empty()) {
            DeleteNamed(session_.sites.Get(), record_.site, "IIS site", lines);
        }
        if (!record_.pool.empty()) {
            DeleteNamed(session_.pools.Get(), record_.pool, "application pool", lines);
        }
        if (!record_.restriction.empty()) DeleteRestriction(lines);
        if (!record_.movedSite.empty()) GiveBindingBack(lines);
        return !lines.empty();
    }

private:
    bool ClearSection(IAppHostWritableAdminManager* manager, const wchar_t* section, const std::wstring& path) {
        win::ComPtr<IAppHostElement> element;
        HRESULT hr = iis::GetSection(manager, section, path, element);
        if (SUCCEEDED(hr) && element) hr = element->Clear();
        return SUCCEEDED(hr) || Fail("Could not remove the " + win::ToAnsi(section) + " settings of " + record_.site, hr);
    }

    bool ClearRequestLimit(IAppHostElement* filtering) {
        win::Bstr limitsName(L"requestLimits"), lengthName(L"maxAllowedContentLength");
        win::ComPtr<IAppHostElement> limits;
        win::ComPtr<IAppHostProperty> length;
        HRESULT hr = filtering->GetElementByName(limitsName.Get(), limits.Put());
        if (SUCCEEDED(hr) && limits) hr = limits->GetPropertyByName(lengthName.Get(), length.Put());
        if (SUCCEEDED(hr) && length) hr = length->Clear();
        return SUCCEEDED(hr) || Fail("Could not remove the request limit of " + record_.site, hr);
    }

    bool DeleteHiddenSegment(IAppHostElement* filtering) {
        win::ComPtr<IAppHostElement> hidden, entry;
        win::ComPtr<IAppHostElementCollection> segments;
        HRESULT hr = iis::ChildElement(filtering, L"hiddenSegments", hidden);
        if (SUCCEEDED(hr)) hr = iis::CollectionOf(hidden.Get(), segments);
        if (FAILED(hr)) return Fail("Could not open the hidden segments of " + record_.site, hr);
        DWORD index = 0;
        if (!iis::FindByKeyNoCase(segments.Get(), L"segment", HIDDEN_SEGMENT, entry, &index)) {
            log_.Log(LOG_SERVER, "The hidden segment Update of " + record_.site + " is not there any more");
            return false;
        }
        hr = segments->DeleteElement(win::Variant::Int32(static_cast<long>(index)).Get());
        return SUCCEEDED(hr) || Fail("Could not remove the hidden segment Update of " + record_.site, hr);
    }

    void DeleteNamed(IAppHostElementCollection* collection, const std::string& name, const std::string& kind,
                     std::vector<std::string>& lines) {
        win::ComPtr<IAppHostElement> element;
        DWORD index = 0;
        if (!iis::FindByName(collection, win::ToWide(name), element, &index)) {
            log_.Log(LOG_SERVER, "The " + kind + " " + name + " is not there any more");
            return;
        }
        const HRESULT hr = collection->DeleteElement(win::Variant::Int32(static_cast<long>(index)).Get());
        if (SUCCEEDED(hr)) {
            lines.push_back("Removed the " + kind + " " + name);
        } else {
            Fail("Could not remove the " + kind + " " + name, hr);
        }
    }

    void DeleteRestriction(std::vector<std::string>& lines) {
        win::ComPtr<IAppHostElement> entry;
        DWORD index = 0;
        const std::string& path = record_.restriction;
        if (!iis::FindByKeyNoCase(session_.restrictions.Get(), L"path", win::ToWide(path), entry, &index)) {
            log_.Log(LOG_SERVER, "The ISAPI/CGI restriction entry for " + path + " is not there any more");
            return;
        }
        const HRESULT hr = session_.restrictions->DeleteElement(win::Variant::Int32(static_cast<long>(index)).Get());
        if (SUCCEEDED(hr)) {
            lines.push_back("Removed the ISAPI/CGI restriction entry for " + path);
        } else {
            Fail("Could not remove the ISAPI/CGI restriction entry for " + path, hr);
        }
    }

    // Only a binding the setup's move left as it was goes back: one an
    // administrator has changed since is theirs now.
    void GiveBindingBack(std::vector<std::string>& lines) {
        const std::string& site = record_.movedSite;
        const std::string moved = win::ToAnsi(BindingInformation(REBIND_PORT));
        win::ComPtr<IAppHostElement> element, bindingsElement, binding;
        win::ComPtr<IAppHostElementCollection> bindings;
        if (!iis::FindByName(session_.sites.Get(), win::ToWide(site), element)) {
            log_.Log(LOG_SERVER, "The IIS site " + site + " is not there any more; its binding " +
                                     record_.movedBinding + " was not given back");
            return;
        }
        HRESULT hr = iis::ChildElement(element.Get(), L"bindings", bindingsElement);
        if (SUCCEEDED(hr)) hr = iis::CollectionOf(bindingsElement.Get(), bindings);
        if (SUCCEEDED(hr) && iis::CountOf(bindings.Get()) > 0) hr = iis::ItemAt(bindings.Get(), 0, binding);
        if (FAILED(hr)) {
            Fail("Could not read the bindings of " + site, hr);
            return;
        }
        const std::string now =
            binding ? win::ToAnsi(iis::ListedStringProperty(binding.Get(), L"bindingInformation")) : std::string();
        if (now != moved) {
            log_.Log(LOG_SERVER, site + " is no longer bound to " + moved + " as the setup left it; its binding " +
                                     (now.empty() ? std::string("list") : now) + " was left as it is");
            return;
        }
        if (record_.movedBinding.empty()) {
            log_.Log(LOG_SERVER, "The binding " + site + " had before the setup moved it is not known; it stays " + moved);
            return;
        }
        hr = iis::SetListedProperty(binding.Get(), L"bindingInformation",
                                    win::Variant::Text(win::ToWide(record_.movedBinding)));
        if (SUCCEEDED(hr)) {
            lines.push_back("Gave " + site + " its binding " + record_.movedBinding + " back");
        } else {
            Fail("Could not give " + site + " its binding " + record_.movedBinding + " back", hr);
        }
    }

    IisSession& session_;
    const SiteRecord& record_;
    RunLog& log_;
    bool failed_ = false;
};

std::string JoinNames(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}

// The web.config the setup made goes when nothing but the skeleton of its
// removed settings is left; one holding anything else stays.
void DeleteMadeWebConfig(const std::string& physicalPath, Removal& removal, RunLog& log) {
    const std::string path = SiteWebConfigPath(physicalPath);
    if (!IsExistingFile(path)) return;
    const std::optional<std::string> content = ReadSmallFile(path);
    if (!content || WebConfigHoldsSettings(*content)) {
        log.Log(LOG_SERVER, path + " holds settings besides the setup's; it stays");
        return;
    }
    if (!::DeleteFileA(path.c_str())) {
        removal.FailPlain("Could not delete " + path, win::SystemErrorText(::GetLastError()));
        return;
    }
    log.Log(LOG_SERVER, "Deleted " + path + ", which the setup had made");
}

}  // namespace

bool RemoveWebsite(IisSession& session, const SiteRecord& record, const std::string& physicalPath, RunLog& log) {
    if (NothingRecorded(record)) return true;
    if (!OpenIisConfiguration(session, log)) return false;
    Removal removal(session, record, log);
    removal.Stop(session.sites.Get(), record.site, "IIS site");
    removal.Stop(session.pools.Get(), record.pool, "application pool");

    // The manager finds the site's web.config through the site, so the
    // site-level settings go while the site is still there.
    win::ComPtr<IAppHostElement> site;
    const bool siteThere = !record.site.empty() && iis::FindByName(session.sites.Get(), win::ToWide(record.site), site);
    if (!record.siteSections.empty() && !siteThere) {
        log.Log(LOG_SERVER, "The IIS site " + record.site + " is not there any more; its web.config is left as it is");
    }
    std::vector<std::string> removed;
    if (!record.siteSections.empty() && siteThere &&
        removal.SetCommitPath(std::wstring(iis::APPHOST_PATH) + L"/" + win::ToWide(record.site)) &&
        removal.RemoveSiteSettings(removed)) {
        const HRESULT hr = session.adminManager->CommitChanges();
        if (SUCCEEDED(hr)) {
            log.Log(LOG_SERVER, "Removed the site settings of " + record.site + " from its web.config (" +
                                    JoinNames(removed) + ")");
            if (record.webConfigCreated) DeleteMadeWebConfig(physicalPath, removal, log);
        } else {
            removal.Fail("Could not commit the removal of the site settings of " + record.site, hr);
            // A failed commit leaves its changes pending, and IIS takes no other
            // commit path while they are: the server level starts afresh.
            if (!OpenIisConfiguration(session, log)) return false;
        }
    }

    std::vector<std::string> lines;
    if (removal.SetCommitPath(iis::APPHOST_PATH) && removal.RemoveServerElements(lines)) {
        const HRESULT hr = session.adminManager->CommitChanges();
        if (SUCCEEDED(hr)) {
            for (const std::string& line : lines) log.Log(LOG_SERVER, line);
        } else {
            removal.Fail("Could not commit the removal of the web site " + record.site + " from IIS", hr);
        }
    }
    return !removal.Failed();
}
