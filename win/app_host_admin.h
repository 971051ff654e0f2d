#pragma once
// The IIS administration interfaces (ahadmin) the setup and the test machine's
// stand-in use. mingw-w64 ships no header for them, so they are declared here
// from Microsoft's published interface definitions: every method of every
// interface in vtable order, also the ones nobody here calls, because a
// missing or misplaced method shifts every later slot.
//
// All of these interfaces derive from IUnknown, not IDispatch; the writable
// manager derives from the read-only manager.
#include <objbase.h>
#include <oaidl.h>

// Interfaces only passed through as pointers; nothing of theirs is called.
struct IAppHostConfigManager;
struct IAppHostElementSchema;
struct IAppHostPropertySchema;
struct IAppHostCollectionSchema;
struct IAppHostMethodSchema;
struct IAppHostPropertyException;

struct IAppHostElement;
struct IAppHostElementCollection;
struct IAppHostProperty;
struct IAppHostPropertyCollection;
struct IAppHostChildElementCollection;
struct IAppHostMethod;
struct IAppHostMethodCollection;
struct IAppHostMethodInstance;

// {228FB8F7-FB53-4FD5-8C7B-FF59DE606C5B}: the read-only manager's class.
inline constexpr CLSID CLSID_AppHostAdminManager = {
    0x228fb8f7, 0xfb53, 0x4fd5, {0x8c, 0x7b, 0xff, 0x59, 0xde, 0x60, 0x6c, 0x5b}};
// {2B72133B-3F5B-4602-8952-803546CE3344}: the writable manager's class.
inline constexpr CLSID CLSID_AppHostWritableAdminManager = {
    0x2b72133b, 0x3f5b, 0x4602, {0x89, 0x52, 0x80, 0x35, 0x46, 0xce, 0x33, 0x44}};

inline constexpr IID IID_IAppHostAdminManager = {
    0x9be77978, 0x73ed, 0x4a9a, {0x87, 0xfd, 0x13, 0xf0, 0x9f, 0xec, 0x1b, 0x13}};
inline constexpr IID IID_IAppHostWritableAdminManager = {
    0xfa7660f6, 0x7b3f, 0x4237, {0xa8, 0xbf, 0xed, 0x0a, 0xd0, 0xdc, 0xbb, 0xd9}};
inline constexpr IID IID_IAppHostElement = {
    0x64ff8ccc, 0xb287, 0x4dae, {0xb0, 0x8a, 0xa7, 0x2c, 0xbf, 0x45, 0xf4, 0x53}};
inline constexpr IID IID_IAppHostElementCollection = {
    0xc8550bff, 0x5281, 0x4b1e, {0xac, 0x34, 0x99, 0xb6, 0xfa, 0x38, 0x46, 0x4d}};
inline constexpr IID IID_IAppHostProperty = {
    0xed35f7a1, 0x5024, 0x4e7b, {0xa4, 0x4d, 0x07, 0xdd, 0xaf, 0x4b, 0x52, 0x4d}};
inline constexpr IID IID_IAppHostPropertyCollection = {
    0x0191775e, 0xbcff, 0x445a, {0xb4, 0xf4, 0x3b, 0xdd, 0xa5, 0x4e, 0x28, 0x16}};
inline constexpr IID IID_IAppHostChildElementCollection = {
    0x08a90f5f, 0x0702, 0x48d6, {0xb4, 0x5f, 0x02, 0xa9, 0x88, 0x5a, 0x97, 0x68}};
inline constexpr IID IID_IAppHostMethod = {
    0x7883ca1c, 0x1112, 0x4447, {0x84, 0xc3, 0x52, 0xfb, 0xeb, 0x38, 0x06, 0x9d}};
inline constexpr IID IID_IAppHostMethodCollection = {
    0xd6c7cd8f, 0xbb8d, 0x4f96, {0xb5, 0x91, 0xd3, 0xa5, 0xf1, 0x32, 0x02, 0x69}};
inline constexpr IID IID_IAppHostMethodInstance = {
    0xb80f3c42, 0x60e0, 0x4ae0, {0x90, 0x07, 0xf5, 0x28, 0x52, 0xd3, 0xdb, 0xed}};

struct IAppHostAdminManager : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetAdminSection(BSTR bstrSectionName, BSTR bstrPath,
                                                      IAppHostElement** ppAdminSection) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataType, VARIANT* pValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMetadata(BSTR bstrMetadataType, VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ConfigManager(IAppHostConfigManager** ppConfigManager) = 0;
};

struct IAppHostWritableAdminManager : public IAppHostAdminManager {
    virtual HRESULT STDMETHODCALLTYPE CommitChanges() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CommitPath(BSTR* pbstrCommitPath) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CommitPath(BSTR bstrCommitPath) = 0;
};

struct IAppHostElement : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* pbstrName) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Collection(IAppHostElementCollection** ppCollection) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Properties(IAppHostPropertyCollection** ppProperties) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ChildElements(IAppHostChildElementCollection** ppElements) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataType, VARIANT* pValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMetadata(BSTR bstrMetadataType, VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Schema(IAppHostElementSchema** ppSchema) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetElementByName(BSTR bstrSubName, IAppHostElement** ppElement) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropertyByName(BSTR bstrSubName, IAppHostProperty** ppProperty) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Methods(IAppHostMethodCollection** ppMethods) = 0;
};

struct IAppHostElementCollection : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcElementCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT cIndex, IAppHostElement** ppElement) = 0;
    // cPosition -1 appends at the end.
    virtual HRESULT STDMETHODCALLTYPE AddElement(IAppHostElement* pElement, INT cPosition) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteElement(VARIANT cIndex) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateNewElement(BSTR bstrElementName, IAppHostElement** ppElement) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Schema(IAppHostCollectionSchema** ppSchema) = 0;
};

struct IAppHostProperty : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* pbstrName) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Value(VARIANT* pVariant) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Value(VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_StringValue(BSTR* pbstrValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Exception(IAppHostPropertyException** ppException) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataType, VARIANT* pValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMetadata(BSTR bstrMetadataType, VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Schema(IAppHostPropertySchema** ppSchema) = 0;
};

struct IAppHostPropertyCollection : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Count(DWORD* dwordElem) = 0;
    // By VT_BSTR name or by integer index.
    virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT cIndex, IAppHostProperty** ppProperty) = 0;
};

struct IAppHostChildElementCollection : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcCount) = 0;
    // By VT_BSTR name or by integer index.
    virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT cIndex, IAppHostElement** ppElement) = 0;
};

struct IAppHostMethod : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* pbstrName) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Schema(IAppHostMethodSchema** ppMethodSchema) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IAppHostMethodInstance** ppMethodInstance) = 0;
};

struct IAppHostMethodCollection : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcCount) = 0;
    // By VT_BSTR name or by integer index.
    virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT cIndex, IAppHostMethod** ppMethod) = 0;
};

struct IAppHostMethodInstance : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Input(IAppHostElement** ppInputElement) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Output(IAppHostElement** ppOutputElement) = 0;
    virtual HRESULT STDMETHODCALLTYPE Execute() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataType, VARIANT* pValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMetadata(BSTR bstrMetadataType, VARIANT value) = 0;
};
