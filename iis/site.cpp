#include "app/context.h"
#include "iis/config_access.h"
#include "iis/website.h"
#include "setup/server_setup.h"
#include "win/text.h"



int ServerSetup::CreateSite() {
    if (FAILED(iis::CreateElement(iis.sites.Get(), L"site", iis.currentSite))) return 1;
    IAppHostElement* site = iis.currentSite.Get();
    iis::SetProperty(site, L"name", win::Variant::Text(win::ToWide(siteName)));
    // Ids above the 16-bit range travel as 32-bit values.
    iis::SetProperty(site, L"Id",
                     siteId > 32767 || siteId < -32768 ? win::Variant::Int32(siteId)
                                                       : win::Variant::Int16(static_cast<short>(siteId)));
    iis::SetProperty(site, L"serverAutoStart", win::Variant::Bool(true));

    win::ComPtr<IAppHostElementCollection> applications, directories, bindings;
    win::ComPtr<IAppHostElement> application, directory, bindingsElement, binding;
    iis::CollectionOf(site, applications);
    iis::CreateElement(applications.Get(), L"application", application);
    iis::SetListedProperty(application.Get(), L"path", win::Variant::Text(L"/"));
    iis::SetListedProperty(application.Get(), L"applicationPool", win::Variant::Text(win::ToWide(poolName)));
    iis::CollectionOf(application.Get(), directories);
    iis::CreateElement(directories.Get(), L"virtualDirectory", directory);
    iis::SetListedProperty(directory.Get(), L"path", win::Variant::Text(L"/"));
    iis::SetListedProperty(directory.Get(), L"physicalPath", win::Variant::Text(win::ToWide(owner.serverDirectory)));
    iis::Append(directories.Get(), directory.Get());
    iis::Append(applications.Get(), application.Get());
    iis::Append(iis.sites.Get(), site);

    iis::ChildElement(site, L"bindings", bindingsElement);
    iis::CollectionOf(bindingsElement.Get(), bindings);
    iis::CreateElement(bindings.Get(), L"binding", binding);
    iis::SetListedProperty(binding.Get(), L"protocol", win::Variant::Text(L"http"));
    iis::SetListedProperty(binding.Get(), L"bindingInformation", win::Variant::Text(BindingInformation(owner.port)));
    iis::Append(bindings.Get(), binding.Get());
    return 1;
}
