#include "config_xml.h"

#include <objbase.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <algorithm>
#include <vector>

#include "com_object.h"
#include "win/com.h"
#include "win/handles.h"

namespace iisadmin {
namespace {

using CreateXmlReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

std::wstring Text(const wchar_t* text, UINT length) { return text ? std::wstring(text, length) : std::wstring(); }

bool IsWhiteSpace(std::wstring_view text) {
    return text.find_first_not_of(L" \t\r\n") == std::wstring_view::npos;
}

HRESULT ReadElement(IXmlReader* reader, Node::Ptr& element, bool& empty) {
    const wchar_t* name = nullptr;
    UINT length = 0;
    HRESULT hr = reader->GetQualifiedName(&name, &length);
    if (FAILED(hr)) return hr;
    element = Node::Element(Text(name, length));
    empty = reader->IsEmptyElement() != FALSE;
    for (hr = reader->MoveToFirstAttribute(); hr == S_OK; hr = reader->MoveToNextAttribute()) {
        const wchar_t* value = nullptr;
        UINT valueLength = 0;
        if (FAILED(reader->GetQualifiedName(&name, &length)) || FAILED(reader->GetValue(&value, &valueLength))) {
            return kInvalidData;
        }
        element->attributes.emplace_back(Text(name, length), Text(value, valueLength));
    }
    if (FAILED(hr)) return hr;
    reader->MoveToElement();
    return S_OK;
}

HRESULT Parse(IXmlReader* reader, Node::Ptr& file, bool& declaration) {
    file = Node::Element(L"");
    std::vector<Node::Ptr> open{file};
    bool rootSeen = false;
    bool blank = false;  // the white space just read held an empty line
    XmlNodeType type = XmlNodeType_None;
    HRESULT hr = S_OK;
    while ((hr = reader->Read(&type)) == S_OK) {
        switch (type) {
            case XmlNodeType_Element: {
                Node::Ptr element;
                bool empty = false;
                if (FAILED(hr = ReadElement(reader, element, empty))) return hr;
                if (open.size() == 1) {
                    if (rootSeen) return kInvalidData;
                    rootSeen = true;
                }
                element->blankBefore = blank && open.size() > 1;
                open.back()->Insert(element);
                if (!empty) open.push_back(element);
                break;
            }
            case XmlNodeType_EndElement:
                if (open.size() <= 1) return kInvalidData;
                open.back()->blankBeforeEnd = blank;
                open.pop_back();
                break;
            case XmlNodeType_Comment: {
                const wchar_t* value = nullptr;
                UINT length = 0;
                if (FAILED(reader->GetValue(&value, &length))) return kInvalidData;
                Node::Ptr comment = Node::Comment(Text(value, length));
                comment->blankBefore = blank && open.size() > 1;
                open.back()->Insert(comment);
                break;
            }
            case XmlNodeType_Whitespace: {
                const wchar_t* value = nullptr;
                UINT length = 0;
                if (FAILED(reader->GetValue(&value, &length))) return kInvalidData;
                const std::wstring space = Text(value, length);
                blank = std::count(space.begin(), space.end(), L'\n') > 1;
                continue;  // keeps "blank" for the node that follows
            }
            case XmlNodeType_XmlDeclaration:
                declaration = true;
                break;
            case XmlNodeType_Text:
            case XmlNodeType_CDATA: {
                // IIS configuration carries everything in attributes.
                const wchar_t* value = nullptr;
                UINT length = 0;
                if (FAILED(reader->GetValue(&value, &length)) || !IsWhiteSpace(Text(value, length))) {
                    return kInvalidData;
                }
                break;
            }
            default:
                break;
        }
        blank = false;
    }
    if (FAILED(hr) || open.size() != 1 || !rootSeen) return kInvalidData;
    return S_OK;
}

void AppendEscaped(std::wstring& out, std::wstring_view value) {
    for (wchar_t c : value) {
        switch (c) {
            case L'&': out += L"&amp;"; break;
            case L'<': out += L"&lt;"; break;
            case L'>': out += L"&gt;"; break;
            case L'"': out += L"&quot;"; break;
            case L'\t': out += L"&#x9;"; break;
            case L'\n': out += L"&#xA;"; break;
            case L'\r': out += L"&#xD;"; break;
            default: out += c; break;
        }
    }
}

void Write(std::wstring& out, const Node& node, size_t depth) {
    if (!node.Written()) return;
    const std::wstring indent(depth * 4, L' ');
    if (node.blankBefore) out += L"\r\n";
    if (node.kind == Node::Kind::Comment) {
        // The reader hands line ends over as LF; the file has CR LF.
        out += indent + L"<!--";
        for (wchar_t c : node.name) {
            if (c == L'\n') out += L'\r';
            out += c;
        }
        out += L"-->\r\n";
        return;
    }
    out += indent + L"<" + node.name;
    for (const auto& [key, value] : node.attributes) {
        out += L" " + key + L"=\"";
        AppendEscaped(out, value);
        out += L"\"";
    }
    bool anyChild = false;
    for (const auto& child : node.children) anyChild = anyChild || child->Written();
    if (!anyChild) {
        out += L" />\r\n";
        return;
    }
    out += L">\r\n";
    for (const auto& child : node.children) Write(out, *child, depth + 1);
    if (node.blankBeforeEnd) out += L"\r\n";
    out += indent + L"</" + node.name + L">\r\n";
}

}  // namespace

std::string Utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

ParsedFile ParseConfiguration(std::string_view bytes) {
    ParsedFile parsed;
    win::Library xmllite(::LoadLibraryW(L"xmllite.dll"));
    auto create = xmllite ? reinterpret_cast<CreateXmlReaderFunction>(
                                reinterpret_cast<void*>(::GetProcAddress(xmllite.Get(), "CreateXmlReader")))
                          : nullptr;
    if (!create) {
        parsed.result = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
        return parsed;
    }
    win::ComPtr<IStream> stream(
        ::SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size())));
    if (!stream) {
        parsed.result = E_OUTOFMEMORY;
        return parsed;
    }
    {
        win::ComPtr<IXmlReader> reader;
        HRESULT hr = create(__uuidof(IXmlReader), reader.PutVoid(), nullptr);
        if (SUCCEEDED(hr)) hr = reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
        if (SUCCEEDED(hr)) hr = reader->SetInput(stream.Get());
        if (SUCCEEDED(hr)) hr = Parse(reader.Get(), parsed.file, parsed.declaration);
        parsed.result = FAILED(hr) ? kInvalidData : S_OK;
    }
    if (FAILED(parsed.result)) parsed.file.reset();
    return parsed;
}

std::string SerializeConfiguration(const Node& file, bool declaration) {
    std::wstring out = declaration ? L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n" : L"";
    for (const auto& child : file.children) Write(out, *child, 0);
    return Utf8(out);
}

}  // namespace iisadmin
