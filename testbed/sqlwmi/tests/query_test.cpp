// The provider's answers: the setup's two queries, the enumeration contract,
// the objects' properties, and refusals of everything else.
#include <gtest/gtest.h>

#include "tests/wmi_client.h"

namespace sqlwmi::test {
namespace {

class QueryTest : public ScenarioTest {
protected:
    // Two services in ComputerManagement15; the named one has no Version.
    void SetUp() override {
        ScenarioTest::SetUp();
        AddService(L"ComputerManagement15", L"MSSQLSERVER", L"MSSQL15.MSSQLSERVER", L"15.0.2000.5");
        AddService(L"ComputerManagement15", L"MSSQL$INST1", L"MSSQL15.INST1", nullptr);
        ASSERT_EQ(Connect(SqlPath(15), services_), S_OK);
    }
    std::vector<win::ComPtr<IWbemClassObject>> Run(const std::wstring& text) {
        win::ComPtr<IEnumWbemClassObject> result;
        EXPECT_EQ(Query(services_.Get(), text, result), S_OK);
        return result ? ReadAll(result.Get()) : std::vector<win::ComPtr<IWbemClassObject>>();
    }
    win::ComPtr<IWbemServices> services_;
};

TEST_F(QueryTest, TheInstanceQueryGivesOneObjectPerServiceInKeyOrder) {
    const auto objects = Run(kInstanceIdQuery);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(TextOf(objects[0].Get(), L"ServiceName"), L"MSSQL$INST1");
    EXPECT_EQ(TextOf(objects[0].Get(), L"PropertyStrValue"), L"MSSQL15.INST1");
    EXPECT_EQ(TextOf(objects[1].Get(), L"ServiceName"), L"MSSQLSERVER");
    EXPECT_EQ(TextOf(objects[1].Get(), L"PropertyStrValue"), L"MSSQL15.MSSQLSERVER");
    for (const auto& object : objects) EXPECT_EQ(TextOf(object.Get(), L"PropertyName"), L"instanceID");
}

TEST_F(QueryTest, TheVersionQueryAnswersForTheNamedServiceOnly) {
    const auto versions = Run(VersionQuery(L"MSSQLSERVER"));
    ASSERT_EQ(versions.size(), 1u);
    EXPECT_EQ(TextOf(versions[0].Get(), L"PropertyStrValue"), L"15.0.2000.5");
    EXPECT_EQ(TextOf(versions[0].Get(), L"PropertyName"), L"Version");
    EXPECT_EQ(TextOf(versions[0].Get(), L"ServiceName"), L"MSSQLSERVER");

    EXPECT_TRUE(Run(VersionQuery(L"MSSQL$INST1")).empty());  // no Version stored
    EXPECT_TRUE(Run(VersionQuery(L"MSSQL$NONE")).empty());

    SetServiceValue(L"ComputerManagement15", L"MSSQL$INST1", L"Version", L"15.0.4123.1");
    const auto added = Run(VersionQuery(L"MSSQL$INST1"));
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(TextOf(added[0].Get(), L"PropertyStrValue"), L"15.0.4123.1");
}

// The setup escapes a quote in a service name as WQL wants it; the raw quote
// ends the literal early, which WMI refuses as a query it cannot read.
TEST_F(QueryTest, AServiceNameWithAQuoteIsFoundThroughAnEscapedLiteralOnly) {
    AddService(L"ComputerManagement15", L"MSSQL$O'Brien", L"MSSQL15.OBRIEN", L"15.0.4153.1");
    const auto escaped = Run(VersionQuery(L"MSSQL$O\\'Brien"));
    ASSERT_EQ(escaped.size(), 1u);
    EXPECT_EQ(TextOf(escaped[0].Get(), L"ServiceName"), L"MSSQL$O'Brien");
    EXPECT_EQ(TextOf(escaped[0].Get(), L"PropertyStrValue"), L"15.0.4153.1");

    const auto doubleQuoted = Run(
        L"select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = \"Version\" and "
        L"ServiceName = \"mssql$o'brien\"");
    ASSERT_EQ(doubleQuoted.size(), 1u);
    EXPECT_EQ(TextOf(doubleQuoted[0].Get(), L"ServiceName"), L"MSSQL$O'Brien");

    win::ComPtr<IEnumWbemClassObject> result;
    EXPECT_EQ(Query(services_.Get(), VersionQuery(L"MSSQL$O'Brien"), result),
              static_cast<HRESULT>(WBEM_E_INVALID_QUERY));
    EXPECT_FALSE(result);
    EXPECT_EQ(Query(services_.Get(), VersionQuery(L"MSSQL$O\\\\'Brien"), result),
              static_cast<HRESULT>(WBEM_E_INVALID_QUERY));
}

TEST_F(QueryTest, OtherQueriesAndLanguagesAreRefused) {
    const std::wstring refused[] = {
        L"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = 'instanceID",
        L"SELECT * FROM Win32_OperatingSystem",
    };
    for (const std::wstring& text : refused) {
        win::ComPtr<IEnumWbemClassObject> result;
        EXPECT_EQ(Query(services_.Get(), text, result), static_cast<HRESULT>(WBEM_E_INVALID_QUERY));
        EXPECT_FALSE(result);
    }
    win::ComPtr<IEnumWbemClassObject> result;
    EXPECT_EQ(Query(services_.Get(), kInstanceIdQuery, result, kSetupQueryFlags, L"SQL"),
              static_cast<HRESULT>(WBEM_E_INVALID_QUERY_TYPE));
    EXPECT_EQ(Query(services_.Get(), kInstanceIdQuery, result, kSetupQueryFlags, L"wql"), S_OK);
    const win::Bstr language(L"WQL");
    const win::Bstr query(kInstanceIdQuery);
    EXPECT_EQ(services_->ExecQuery(language.Get(), query.Get(), kSetupQueryFlags, nullptr, nullptr),
              static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER));
}

TEST_F(QueryTest, EveryOtherServicesOperationIsNotSupported) {
    const win::Bstr path(L"SqlServiceAdvancedProperty");
    win::ComPtr<IWbemClassObject> object;
    EXPECT_EQ(services_->GetObject(path.Get(), 0, nullptr, object.Put(), nullptr),
              static_cast<HRESULT>(WBEM_E_NOT_SUPPORTED));
    EXPECT_FALSE(object);
    win::ComPtr<IEnumWbemClassObject> objects;
    EXPECT_EQ(services_->CreateInstanceEnum(path.Get(), 0, nullptr, objects.Put()),
              static_cast<HRESULT>(WBEM_E_NOT_SUPPORTED));
    EXPECT_FALSE(objects);
    win::ComPtr<IWbemServices> child;
    EXPECT_EQ(services_->OpenNamespace(path.Get(), 0, nullptr, child.Put(), nullptr),
              static_cast<HRESULT>(WBEM_E_NOT_SUPPORTED));
    EXPECT_FALSE(child);
}

TEST_F(QueryTest, NextGivesWhatIsLeftAndSaysWhenTheEnumerationEnds) {
    win::ComPtr<IEnumWbemClassObject> result;
    ASSERT_EQ(Query(services_.Get(), kInstanceIdQuery, result), S_OK);
    IWbemClassObject* batch[3] = {};
    ULONG returned = 99;
    EXPECT_EQ(result->Next(10000, 1, batch, nullptr), static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER));
    EXPECT_EQ(result->Next(-5, 1, batch, &returned), static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER));
    EXPECT_EQ(result->Next(10000, 1, batch, &returned), S_OK);
    EXPECT_EQ(returned, 1u);
    batch[0]->Release();
    EXPECT_EQ(result->Next(WBEM_INFINITE, 3, batch, &returned), static_cast<HRESULT>(WBEM_S_FALSE));
    ASSERT_EQ(returned, 1u);
    EXPECT_EQ(TextOf(batch[0], L"ServiceName"), L"MSSQLSERVER");
    batch[0]->Release();
    returned = 99;
    EXPECT_EQ(result->Next(10000, 1, batch, &returned), static_cast<HRESULT>(WBEM_S_FALSE));
    EXPECT_EQ(returned, 0u);
}

TEST_F(QueryTest, OnlyABidirectionalEnumerationCanStartAgain) {
    win::ComPtr<IEnumWbemClassObject> forward;
    ASSERT_EQ(Query(services_.Get(), kInstanceIdQuery, forward), S_OK);
    EXPECT_EQ(ReadAll(forward.Get()).size(), 2u);
    EXPECT_EQ(forward->Reset(), static_cast<HRESULT>(WBEM_E_INVALID_OPERATION));
    EXPECT_TRUE(ReadAll(forward.Get()).empty());

    win::ComPtr<IEnumWbemClassObject> both;
    ASSERT_EQ(Query(services_.Get(), kInstanceIdQuery, both, WBEM_FLAG_RETURN_IMMEDIATELY), S_OK);
    EXPECT_EQ(both->Skip(WBEM_INFINITE, 1), S_OK);
    win::ComPtr<IEnumWbemClassObject> copy;
    ASSERT_EQ(both->Clone(copy.Put()), S_OK);
    EXPECT_EQ(ReadAll(copy.Get()).size(), 1u);
    EXPECT_EQ(both->Reset(), S_OK);
    EXPECT_EQ(ReadAll(both.Get()).size(), 2u);
}

TEST_F(QueryTest, GetFillsTheVariantWithTheWmiTypeOfEachProperty) {
    const auto objects = Run(VersionQuery(L"MSSQLSERVER"));
    ASSERT_EQ(objects.size(), 1u);
    IWbemClassObject* object = objects[0].Get();

    struct Expected {
        const wchar_t* name;
        VARTYPE vt;
        CIMTYPE cim;
    };
    const Expected table[] = {
        {L"SQLServiceType", VT_I4, CIM_UINT32},   {L"PropertyValueType", VT_I4, CIM_UINT32},
        {L"PropertyNumValue", VT_NULL, CIM_UINT32}, {L"IsReadOnly", VT_BOOL, CIM_BOOLEAN},
        {L"servicename", VT_BSTR, CIM_STRING},    {L"__CLASS", VT_BSTR, CIM_STRING},
    };
    for (const Expected& e : table) {
        win::Variant value;
        CIMTYPE type = CIM_EMPTY;
        EXPECT_EQ(object->Get(e.name, 0, value.Put(), &type, nullptr), S_OK) << e.name;
        EXPECT_EQ(value.Get().vt, e.vt);
        EXPECT_EQ(type, e.cim);
    }
    win::Variant serviceType;
    ASSERT_EQ(object->Get(L"SQLServiceType", 0, serviceType.Put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(serviceType.Get().lVal, 1);
    EXPECT_EQ(TextOf(object, L"__CLASS"), L"SqlServiceAdvancedProperty");
    EXPECT_EQ(TextOf(object, L"__NAMESPACE"), L"ROOT\\Microsoft\\SqlServer\\ComputerManagement15");

    win::Variant unknown;
    EXPECT_EQ(object->Get(L"NoSuchProperty", 0, unknown.Put(), nullptr, nullptr),
              static_cast<HRESULT>(WBEM_E_NOT_FOUND));
    EXPECT_EQ(unknown.Get().vt, VT_EMPTY);
    EXPECT_EQ(object->Get(nullptr, 0, unknown.Put(), nullptr, nullptr),
              static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER));
    EXPECT_EQ(object->Put(L"PropertyStrValue", 0, unknown.Put(), CIM_STRING),
              static_cast<HRESULT>(WBEM_E_NOT_SUPPORTED));
}

TEST_F(QueryTest, AnObjectListsItsClassPropertiesApartFromTheSystemOnes) {
    const auto objects = Run(kInstanceIdQuery);
    ASSERT_FALSE(objects.empty());
    IWbemClassObject* object = objects[0].Get();
    ASSERT_EQ(object->BeginEnumeration(WBEM_FLAG_NONSYSTEM_ONLY), S_OK);
    std::wstring names;
    for (;;) {
        win::Bstr name;
        if (object->Next(0, name.Put(), nullptr, nullptr, nullptr) != S_OK) break;
        names += std::wstring(name.View()) + L" ";
    }
    EXPECT_EQ(names, L"IsReadOnly PropertyIndex PropertyName PropertyNumValue PropertyStrValue PropertyValueType "
                     L"ServiceName SqlServiceType ");
    EXPECT_EQ(object->Next(0, nullptr, nullptr, nullptr, nullptr), static_cast<HRESULT>(WBEM_S_NO_MORE_DATA));
    EXPECT_EQ(object->EndEnumeration(), S_OK);

    SAFEARRAY* keys = nullptr;
    ASSERT_EQ(object->GetNames(nullptr, WBEM_FLAG_KEYS_ONLY, nullptr, &keys), S_OK);
    LONG upper = -1;
    ::SafeArrayGetUBound(keys, 1, &upper);
    EXPECT_EQ(upper + 1, 4);
    ::SafeArrayDestroy(keys);
}

}  // namespace
}  // namespace sqlwmi::test
