#pragma once
// COM ownership: interface pointers, the per-thread initialisation guard,
// BSTR and VARIANT. Every one releases exactly what it owns.
#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace win {

template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    explicit ComPtr(T* p) noexcept : p_(p) {}  // takes over a reference
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr& other) noexcept : p_(other.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr& operator=(const ComPtr& other) noexcept {
        if (this != &other) {
            if (other.p_) other.p_->AddRef();
            Reset(other.p_);
        }
        return *this;
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.p_, nullptr));
        return *this;
    }

    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    T** Put() noexcept {
        Reset();
        return &p_;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }
    void Reset(T* p = nullptr) noexcept {
        T* old = std::exchange(p_, p);
        if (old) old->Release();
    }
    template <typename U>
    HRESULT As(const IID& iid, ComPtr<U>& out) const noexcept {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(iid, out.PutVoid());
    }

private:
    T* p_ = nullptr;
};

// Balances a CoInitializeEx only when that call succeeded (S_OK or S_FALSE);
// a refused change of apartment must not be answered with CoUninitialize.
class ComInit {
public:
    explicit ComInit(DWORD model) noexcept : hr_(::CoInitializeEx(nullptr, model)) {}
    ~ComInit() {
        if (SUCCEEDED(hr_)) ::CoUninitialize();
    }
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;
    HRESULT Result() const noexcept { return hr_; }
    bool Succeeded() const noexcept { return SUCCEEDED(hr_); }

private:
    HRESULT hr_;
};

class Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(std::wstring_view text)
        : s_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { ::SysFreeString(s_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        if (this != &other) {
            ::SysFreeString(s_);
            s_ = std::exchange(other.s_, nullptr);
        }
        return *this;
    }
    BSTR Get() const noexcept { return s_; }
    BSTR* Put() noexcept {
        ::SysFreeString(s_);
        s_ = nullptr;
        return &s_;
    }
    explicit operator bool() const noexcept { return s_ != nullptr; }
    std::wstring_view View() const noexcept {
        return s_ ? std::wstring_view(s_, ::SysStringLen(s_)) : std::wstring_view();
    }

private:
    BSTR s_ = nullptr;
};

class Variant {
public:
    Variant() noexcept { ::VariantInit(&v_); }
    ~Variant() { ::VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    static Variant Text(std::wstring_view text) {
        Variant v;
        v.v_.vt = VT_BSTR;
        v.v_.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return v;
    }
    static Variant Bool(bool value) noexcept {
        Variant v;
        v.v_.vt = VT_BOOL;
        v.v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        return v;
    }
    static Variant Int16(short value) noexcept {
        Variant v;
        v.v_.vt = VT_I2;
        v.v_.iVal = value;
        return v;
    }
    static Variant Int32(long value) noexcept {
        Variant v;
        v.v_.vt = VT_I4;
        v.v_.lVal = value;
        return v;
    }
    static Variant UInt32(unsigned long value) noexcept {
        Variant v;
        v.v_.vt = VT_UI4;
        v.v_.ulVal = value;
        return v;
    }
    Variant(Variant&& other) noexcept : v_(other.v_) { other.v_.vt = VT_EMPTY; }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            ::VariantClear(&v_);
            v_ = other.v_;
            other.v_.vt = VT_EMPTY;
        }
        return *this;
    }

    VARIANT& Get() noexcept { return v_; }
    const VARIANT& Get() const noexcept { return v_; }
    VARIANT* Put() noexcept {
        ::VariantClear(&v_);
        return &v_;
    }

private:
    VARIANT v_;
};

}  // namespace win
