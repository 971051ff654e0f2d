#pragma once
// The structures the library has handed to its caller and not yet been given
// back through DismDelete. Only a pointer from this list is freed, so a
// double or foreign delete is refused instead of corrupting the heap.
#include <windows.h>

#include <dismapi.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace dism {

class Handouts {
public:
    DismString* AddString(std::wstring text);
    DismFeatureInfo* AddFeatureInfo(std::wstring name, DismPackageFeatureState state, std::wstring displayName,
                                    std::wstring description);
    // Frees `structure` and names its type; empty when it was not handed out
    // or is already freed.
    std::wstring_view Delete(const void* structure);

private:
    struct Block {
        virtual ~Block() = default;
        virtual std::wstring_view Type() const = 0;
    };
    struct StringBlock;
    struct FeatureInfoBlock;

    std::mutex lock_;
    std::map<const void*, std::unique_ptr<Block>> live_;
};

}  // namespace dism
