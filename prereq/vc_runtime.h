#pragma once
// Whether the VC runtime the client or server needs is already installed.
#include <cstdint>
#include <string_view>

class SetupContext;

constexpr unsigned VC_RUNTIME_14 = 0x1000;
constexpr unsigned VC_RUNTIME_12 = 0x2000;

struct VcVersion {
    std::uint32_t major = 0, minor = 0, build = 0, revision = 0;
    bool operator==(const VcVersion&) const = default;
};

// Reads the runtime 14 registration; 0 when its key cannot be opened.
int QueryVcRuntime14(bool* installed, VcVersion* version);
// 1 when the selected runtime must be installed, 0 when it is present.
int CheckVcRuntime(SetupContext& context, unsigned selector);

// A version text as the runtime installers write it: one leading character,
// then exactly four dot-separated decimal numbers; anything else gives 0.0.0.0.
VcVersion ParseVcVersionText(std::wstring_view text);
bool VcRuntime14Sufficient(const VcVersion& version);
