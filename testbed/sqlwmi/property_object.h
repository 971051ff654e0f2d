#pragma once
// One SqlServiceAdvancedProperty instance as the provider hands it out: a
// read-only IWbemClassObject whose properties can be read by name or listed.
#include <windows.h>
#include <wbemcli.h>

#include <mutex>
#include <string>
#include <vector>

#include "com_object.h"
#include "provider_rules.h"

namespace sqlwmi {

struct PropertyValue {
    enum class Kind { Null, Text, Number, Boolean };
    std::wstring name;
    CIMTYPE type = CIM_EMPTY;
    Kind kind = Kind::Null;
    std::wstring text;
    LONG number = 0;
    bool system = false;  // the "__" properties every WMI object carries
    bool key = false;
};

// The system and class properties of one instance, in WMI's order.
std::vector<PropertyValue> InstanceProperties(const PropertyRow& row, const std::wstring& namespaceKey,
                                              const std::wstring& computerName);

class PropertyObject final : public IWbemClassObject {
public:
    explicit PropertyObject(std::vector<PropertyValue> properties) : properties_(std::move(properties)) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return refs_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return refs_.Release(this); }

    STDMETHODIMP GetQualifierSet(IWbemQualifierSet** set) override;
    STDMETHODIMP Get(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE* type, LONG* flavor) override;
    STDMETHODIMP Put(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE type) override;
    STDMETHODIMP Delete(LPCWSTR name) override;
    STDMETHODIMP GetNames(LPCWSTR qualifierName, LONG flags, VARIANT* qualifierValue, SAFEARRAY** names) override;
    STDMETHODIMP BeginEnumeration(LONG flags) override;
    STDMETHODIMP Next(LONG flags, BSTR* name, VARIANT* value, CIMTYPE* type, LONG* flavor) override;
    STDMETHODIMP EndEnumeration() override;
    STDMETHODIMP GetPropertyQualifierSet(LPCWSTR property, IWbemQualifierSet** set) override;
    STDMETHODIMP Clone(IWbemClassObject** copy) override;
    STDMETHODIMP GetObjectText(LONG flags, BSTR* text) override;
    STDMETHODIMP SpawnDerivedClass(LONG flags, IWbemClassObject** newClass) override;
    STDMETHODIMP SpawnInstance(LONG flags, IWbemClassObject** newInstance) override;
    STDMETHODIMP CompareTo(LONG flags, IWbemClassObject* other) override;
    STDMETHODIMP GetPropertyOrigin(LPCWSTR name, BSTR* className) override;
    STDMETHODIMP InheritsFrom(LPCWSTR ancestor) override;
    STDMETHODIMP GetMethod(LPCWSTR name, LONG flags, IWbemClassObject** in, IWbemClassObject** out) override;
    STDMETHODIMP PutMethod(LPCWSTR name, LONG flags, IWbemClassObject* in, IWbemClassObject* out) override;
    STDMETHODIMP DeleteMethod(LPCWSTR name) override;
    STDMETHODIMP BeginMethodEnumeration(LONG flags) override;
    STDMETHODIMP NextMethod(LONG flags, BSTR* name, IWbemClassObject** in, IWbemClassObject** out) override;
    STDMETHODIMP EndMethodEnumeration() override;
    STDMETHODIMP GetMethodQualifierSet(LPCWSTR method, IWbemQualifierSet** set) override;
    STDMETHODIMP GetMethodOrigin(LPCWSTR methodName, BSTR* className) override;

private:
    ~PropertyObject() = default;
    friend class RefCount;

    const PropertyValue* Find(LPCWSTR name) const noexcept;

    RefCount refs_;
    const std::vector<PropertyValue> properties_;
    std::mutex enumeration_;  // guards the two fields below
    bool enumerating_ = false;
    LONG enumerationFlags_ = 0;
    size_t nextProperty_ = 0;
};

}  // namespace sqlwmi
