#include "prereq/sql_detection.h"

#include <windows.h>

#include "core/context.h"
#include "prereq/sql_setup.h"
#include "win/handles.h"
#include "win/text.h"

namespace {

constexpr wchar_t INSTANCE_QUERY[] =
    L"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = 'instanceID'";
constexpr ULONG NEXT_TIMEOUT_MS = 10000;

win::ComPtr<IEnumWbemClassObject> RunQuery(IWbemServices* services, const std::wstring& query) {
    win::ComPtr<IEnumWbemClassObject> results;
    win::Bstr language(L"WQL");
    win::Bstr text(query);
    if (FAILED(services->ExecQuery(language.Get(), text.Get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                   nullptr, results.Put()))) {
        results.Reset();
    }
    return results;
}

// One enumeration of a result set.
class ResultReader {
public:
    explicit ResultReader(IEnumWbemClassObject* results) : results_(results) {}
    // The next object, or nothing at the end, on failure, or once the host
    // has timed out too often.
    win::ComPtr<IWbemClassObject> Next();

private:
    IEnumWbemClassObject* results_;
    int timeouts_ = 0;
};

win::ComPtr<IWbemClassObject> ResultReader::Next() {
    for (;;) {
        win::ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        const HRESULT hr = results_->Next(NEXT_TIMEOUT_MS, 1, object.Put(), &returned);
        switch (DecideNext(hr, returned, timeouts_)) {
            case NextStep::TakeObject:
                return object;
            case NextStep::AskAgain:
                ++timeouts_;
                break;
            case NextStep::End:
                return {};
        }
    }
}

bool ReadText(IWbemClassObject* object, const wchar_t* name, std::wstring& out) {
    win::Variant value;
    if (FAILED(object->Get(name, 0, value.Put(), nullptr, nullptr))) return false;
    if (value.Get().vt != VT_BSTR || !value.Get().bstrVal) return false;
    out.assign(value.Get().bstrVal, ::SysStringLen(value.Get().bstrVal));
    return true;
}

bool KeyOpens(const char* path) {
    win::RegKey key;
    return ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

}  // namespace

NextStep DecideNext(HRESULT hr, unsigned long returned, int timeouts) {
    if (FAILED(hr)) return NextStep::End;
    if (returned > 0) return NextStep::TakeObject;
    // WBEM_S_TIMEDOUT is a success code: only the code itself tells it from the end.
    if (hr == WBEM_S_TIMEDOUT && timeouts < NEXT_RETRIES) return NextStep::AskAgain;
    return NextStep::End;
}

std::wstring EscapeWql(std::wstring_view text) {
    std::wstring escaped;
    for (wchar_t c : text) {
        if (c == L'\'' || c == L'\\') escaped += L'\\';
        escaped += c;
    }
    return escaped;
}

std::wstring InstanceNameOf(std::wstring_view serviceName) {
    const size_t dollar = serviceName.find(L'$');
    return std::wstring(dollar == std::wstring_view::npos ? serviceName : serviceName.substr(dollar + 1));
}

int MajorVersionOf(std::wstring_view version) {
    size_t i = 0;
    while (i < version.size() && version[i] == L' ') ++i;
    const std::uint64_t major = text::ParseLeadingDigits(win::ToAnsi(version.substr(i))).value;
    return major > 100000 ? 100000 : static_cast<int>(major);
}

unsigned VersionBit(int major) { return major >= 11 && major <= 16 ? 1u << (major - 11) : 0; }

win::ComPtr<IWbemServices> SqlSetup::ConnectSqlWmi() {
    win::ComPtr<IWbemLocator> locator;
    if (FAILED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                  locator.PutVoid()))) {
        owner.Log(LOG_SERVER, "Failed to create IWbemLocator object used for namespace connections");
        return {};
    }
    for (int number = 11; number <= 16; ++number) {
        win::Bstr path(L"\\\\.\\root\\Microsoft\\SqlServer\\ComputerManagement" + std::to_wstring(number));
        win::ComPtr<IWbemServices> services;
        if (locator->ConnectServer(path.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Put()) ==
            S_OK) {
            return services;
        }
    }
    return {};
}

std::wstring SqlSetup::QuerySqlServiceProperty(std::wstring_view serviceName, std::wstring_view propertyName,
                                               IWbemServices* services) {
    std::wstring query = L"select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = '";
    query += EscapeWql(propertyName);
    query += L"' and ServiceName = '";
    query += EscapeWql(serviceName);
    query += L"'";
    std::wstring value;
    win::ComPtr<IEnumWbemClassObject> results = RunQuery(services, query);
    if (!results) return value;
    ResultReader reader(results.Get());
    while (win::ComPtr<IWbemClassObject> object = reader.Next()) {
        std::wstring text;
        if (ReadText(object.Get(), L"PropertyStrValue", text)) value = text;
    }
    return value;
}

int SqlSetup::ScanSqlInstances(IWbemServices* services) {
    owner.Log(LOG_UI, "Checking SQL Editions");
    if (win::ComPtr<IEnumWbemClassObject> results = RunQuery(services, INSTANCE_QUERY)) {
        ResultReader reader(results.Get());
        while (win::ComPtr<IWbemClassObject> object = reader.Next()) {
            std::wstring serviceName;
            if (!ReadText(object.Get(), L"ServiceName", serviceName)) continue;
            if (InstanceNameOf(serviceName).find(L"MSSQLSERVER") != std::wstring::npos) defaultInstanceFound = 1;
            // A service without a readable version counts as version 0.
            const int major = MajorVersionOf(QuerySqlServiceProperty(serviceName, L"Version", services));
            sqlVersionBits |= VersionBit(major);
            if (major >= 12) ++sqlInstanceCount;
        }
    }
    owner.Log(LOG_UI, "Checked SQL Editions");
    if (sqlInstanceCount > 0) {
        if (KeyOpens("SOFTWARE\\Microsoft\\SQLNCLI11")) {
            sqlVersionBits |= 0x20;
        } else if (!KeyOpens("SOFTWARE\\WOW6432Node\\Microsoft\\SQLNCLI11")) {
            sqlSetupFlags |= SQL_NATIVE_CLIENT_MISSING;
        }
    } else {
        owner.Log(LOG_UI, "No SQL Editions found");
    }
    return sqlInstanceCount;
}

int SqlSetup::DetectSqlServer() {
    owner.Log(LOG_UI, "Checking whether SQL Server installed");
    win::ComPtr<IWbemServices> services = ConnectSqlWmi();
    if (!services) return 0;
    const int count = ScanSqlInstances(services.Get());
    services.Reset();
    if (count == 0) return 0;
    return (sqlVersionBits & 0x10) || (sqlVersionBits & 0x20) ? 1 : 0;
}
