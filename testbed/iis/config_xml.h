#pragma once
// Reading and writing configuration files. The text is parsed by the
// platform's XmlLite reader; the tree is written back with the indentation IIS
// uses (four spaces, CR LF), comments kept.
#include <windows.h>

#include <string>
#include <string_view>

#include "config_node.h"

namespace iisadmin {

// The whole file: comments before and after the root, and the root element,
// as children of one unnamed node.
struct ParsedFile {
    HRESULT result = S_OK;  // 0x8007000D for text that is not well-formed configuration
    Node::Ptr file;
    bool declaration = false;  // the text starts with <?xml ...?>
};

ParsedFile ParseConfiguration(std::string_view bytes);
std::string SerializeConfiguration(const Node& file, bool declaration = true);

// UTF-8 <-> UTF-16 for the file and the records.
std::string Utf8(std::wstring_view text);

}  // namespace iisadmin
