#include "iis/site.h"

#include "iis/checked_calls.h"
#include "iis/website.h"
#include "win/text.h"

int CreateSite(IisSession& session, const SiteSpec& spec, int siteId, RunLog& log) {
    IisCalls calls(log);
    if (!calls.Create(session.sites.Get(), L"site", session.currentSite)) return 1;
    IAppHostElement* site = session.currentSite.Get();
    calls.Set(site, L"name", win::Variant::Text(win::ToWide(spec.siteName)));
    // Ids above the 16-bit range travel as 32-bit values.
    calls.Set(site, L"id",
              siteId > 32767 || siteId < -32768 ? win::Variant::Int32(siteId)
                                                : win::Variant::Int16(static_cast<short>(siteId)));
    calls.Set(site, L"serverAutoStart", win::Variant::Bool(true));

    win::ComPtr<IAppHostElementCollection> applications, directories, bindings;
    win::ComPtr<IAppHostElement> application, directory, bindingsElement, binding;
    if (calls.Collection(site, applications) && calls.Create(applications.Get(), L"application", application)) {
        calls.SetListed(application.Get(), L"path", win::Variant::Text(L"/"));
        calls.SetListed(application.Get(), L"applicationPool", win::Variant::Text(win::ToWide(spec.poolName)));
        if (calls.Collection(application.Get(), directories) &&
            calls.Create(directories.Get(), L"virtualDirectory", directory)) {
            calls.SetListed(directory.Get(), L"path", win::Variant::Text(L"/"));
            calls.SetListed(directory.Get(), L"physicalPath", win::Variant::Text(win::ToWide(spec.physicalPath)));
            calls.Append(directories.Get(), directory.Get());
        }
        calls.Append(applications.Get(), application.Get());
    }
    calls.Append(session.sites.Get(), site);

    if (calls.Child(site, L"bindings", bindingsElement) && calls.Collection(bindingsElement.Get(), bindings) &&
        calls.Create(bindings.Get(), L"binding", binding)) {
        calls.SetListed(binding.Get(), L"protocol", win::Variant::Text(L"http"));
        calls.SetListed(binding.Get(), L"bindingInformation", win::Variant::Text(BindingInformation(spec.port)));
        calls.Append(bindings.Get(), binding.Get());
    }
    return 1;
}
