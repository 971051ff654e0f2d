#include "handouts.h"

namespace dism {

// The texts live in the block, so the public structure's pointers stay valid
// until the block is deleted; blocks are never moved or copied.
struct Handouts::StringBlock : Block {
    explicit StringBlock(std::wstring value) : text(std::move(value)) { string.Value = text.c_str(); }
    StringBlock(const StringBlock&) = delete;
    StringBlock& operator=(const StringBlock&) = delete;
    std::wstring_view Type() const override { return L"DismString"; }

    std::wstring text;
    DismString string{};
};

struct Handouts::FeatureInfoBlock : Block {
    FeatureInfoBlock(std::wstring featureName, DismPackageFeatureState state, std::wstring displayName,
                     std::wstring description)
        : name(std::move(featureName)), display(std::move(displayName)), about(std::move(description)) {
        info.FeatureName = name.c_str();
        info.FeatureState = state;
        info.DisplayName = display.c_str();
        info.Description = about.c_str();
        info.RestartRequired = DismRestartNo;
        info.CustomProperty = nullptr;
        info.CustomPropertyCount = 0;
    }
    FeatureInfoBlock(const FeatureInfoBlock&) = delete;
    FeatureInfoBlock& operator=(const FeatureInfoBlock&) = delete;
    std::wstring_view Type() const override { return L"DismFeatureInfo"; }

    std::wstring name;
    std::wstring display;
    std::wstring about;
    DismFeatureInfo info{};
};

DismString* Handouts::AddString(std::wstring text) {
    auto block = std::make_unique<StringBlock>(std::move(text));
    DismString* handed = &block->string;
    std::lock_guard<std::mutex> hold(lock_);
    live_.emplace(handed, std::move(block));
    return handed;
}

DismFeatureInfo* Handouts::AddFeatureInfo(std::wstring name, DismPackageFeatureState state, std::wstring displayName,
                                          std::wstring description) {
    auto block = std::make_unique<FeatureInfoBlock>(std::move(name), state, std::move(displayName),
                                                    std::move(description));
    DismFeatureInfo* handed = &block->info;
    std::lock_guard<std::mutex> hold(lock_);
    live_.emplace(handed, std::move(block));
    return handed;
}

std::wstring_view Handouts::Delete(const void* structure) {
    std::unique_ptr<Block> block;
    {
        std::lock_guard<std::mutex> hold(lock_);
        auto found = live_.find(structure);
        if (found == live_.end()) return {};
        block = std::move(found->second);
        live_.erase(found);
    }
    // The type names are literals, so the view outlives the block.
    return block->Type();
}

}  // namespace dism
