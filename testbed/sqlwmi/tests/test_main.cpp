// The tests run as the setup does: an apartment-threaded process whose COM
// security allows impersonation, so the locator is reached the same way.
#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "tests/scenario_keys.h"
#include "win/com.h"

namespace {

class MachineScenario : public ::testing::Environment {
public:
    void SetUp() override { sqlwmi::test::SetAsideMachineScenario(); }
    void TearDown() override { sqlwmi::test::RestoreMachineScenario(); }
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    win::ComInit com(COINIT_APARTMENTTHREADED);
    if (!com.Succeeded()) {
        std::fprintf(stderr, "CoInitializeEx failed: 0x%08lX\n", static_cast<unsigned long>(com.Result()));
        return 1;
    }
    const HRESULT hr = ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_CONNECT,
                                              RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    if (FAILED(hr)) {
        std::fprintf(stderr, "CoInitializeSecurity failed: 0x%08lX\n", static_cast<unsigned long>(hr));
        return 1;
    }
    ::testing::AddGlobalTestEnvironment(new MachineScenario);
    return RUN_ALL_TESTS();
}
