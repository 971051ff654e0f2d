#pragma once
// The changes a web site installation makes to the IIS configuration, each
// checked: a call IIS refuses is logged with its HRESULT and counted as a
// failed step.
#include <string>
#include <string_view>

#include "win/app_host_admin.h"
#include "win/com.h"

class RunLog;

class IisCalls {
public:
    explicit IisCalls(RunLog& log) : log_(log) {}

    // True when the call succeeded; otherwise the failure is reported.
    bool Check(HRESULT hr, std::string_view what);
    bool Set(IAppHostElement* element, std::wstring_view name, win::Variant value);
    bool SetListed(IAppHostElement* element, std::wstring_view name, win::Variant value);
    bool Create(IAppHostElementCollection* collection, std::wstring_view name, win::ComPtr<IAppHostElement>& element);
    bool Append(IAppHostElementCollection* collection, IAppHostElement* element);
    bool Child(IAppHostElement* element, std::wstring_view name, win::ComPtr<IAppHostElement>& child);
    bool Collection(IAppHostElement* element, win::ComPtr<IAppHostElementCollection>& collection);
    RunLog& Log() { return log_; }

private:
    RunLog& log_;
};
