// VC runtime checks on real registry keys of the test machine.
#include "prereq/vc_runtime.h"

#include <gtest/gtest.h>

#include "support/dialog_fixture.h"
#include "support/registry.h"

namespace {

constexpr char RUNTIME_14[] = "SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64";
constexpr char RUNTIME_12_X64[] = "SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64";
constexpr char RUNTIME_12_X86[] = "SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X86";

TEST(VcVersionText, NeedsALeadingCharacterAndExactlyFourNumbers) {
    EXPECT_EQ(ParseVcVersionText(L"v14.29.30133.00"), (VcVersion{14, 29, 30133, 0}));
    EXPECT_EQ(ParseVcVersionText(L"14.29.30133.00"), (VcVersion{4, 29, 30133, 0}));
    EXPECT_EQ(ParseVcVersionText(L"v14.29.30133"), VcVersion{});
    EXPECT_EQ(ParseVcVersionText(L"v14.29.30133.0.1"), VcVersion{});
    EXPECT_EQ(ParseVcVersionText(L"v14..1.2"), VcVersion{});
    EXPECT_EQ(ParseVcVersionText(L"v14.2a.1.2"), VcVersion{});
    EXPECT_EQ(ParseVcVersionText(L"v"), VcVersion{});
    EXPECT_TRUE(VcRuntime14Sufficient({14, 20, 0, 0}));
    EXPECT_TRUE(VcRuntime14Sufficient({15, 0, 1, 0}));
    EXPECT_FALSE(VcRuntime14Sufficient({14, 16, 27033, 0}));
}

class VcRuntimeCheck : public ContextTest {
protected:
    RegistryCleanup cleanup{HKEY_LOCAL_MACHINE, {RUNTIME_14, RUNTIME_12_X64, RUNTIME_12_X86}};
    int Check14() { return CheckVcRuntime(context, VC_RUNTIME_14); }
};

TEST_F(VcRuntimeCheck, Runtime14ByVersionTextOrNumbers) {
    EXPECT_EQ(Check14(), 1) << "no key";
    SetRegistryDword(HKEY_LOCAL_MACHINE, RUNTIME_14, "Installed", 1);
    SetRegistryString(HKEY_LOCAL_MACHINE, RUNTIME_14, "Version", "v14.29.30133.00");
    EXPECT_EQ(Check14(), 0);
    SetRegistryString(HKEY_LOCAL_MACHINE, RUNTIME_14, "Version", "v14.16.27033.00");
    EXPECT_EQ(Check14(), 1);
    SetRegistryString(HKEY_LOCAL_MACHINE, RUNTIME_14, "Version", "v15.0.1.0");
    EXPECT_EQ(Check14(), 0);
    SetRegistryString(HKEY_LOCAL_MACHINE, RUNTIME_14, "Installed", "1");
    EXPECT_EQ(Check14(), 1) << "Installed must be a DWORD";

    DeleteRegistryTree(HKEY_LOCAL_MACHINE, RUNTIME_14);
    SetRegistryDword(HKEY_LOCAL_MACHINE, RUNTIME_14, "Installed", 1);
    for (const char* name : {"Major", "Minor", "Bld"}) SetRegistryDword(HKEY_LOCAL_MACHINE, RUNTIME_14, name, 0);
    SetRegistryDword(HKEY_LOCAL_MACHINE, RUNTIME_14, "Major", 14);
    SetRegistryDword(HKEY_LOCAL_MACHINE, RUNTIME_14, "Minor", 20);
    EXPECT_EQ(Check14(), 1) << "Rev missing";
    SetRegistryDword(HKEY_LOCAL_MACHINE, RUNTIME_14, "Rev", 0);
    EXPECT_EQ(Check14(), 0);
    EXPECT_NE(LogText().find("Client Setup:Checking for Pre-requisite\r\n"), std::string::npos);
}

TEST_F(VcRuntimeCheck, EitherRuntime12Satisfies) {
    EXPECT_EQ(CheckVcRuntime(context, VC_RUNTIME_12), 1);
    SetRegistryDword(HKEY_LOCAL_MACHINE, RUNTIME_12_X86, "Installed", 1);
    EXPECT_EQ(CheckVcRuntime(context, VC_RUNTIME_12), 0);
    SetRegistryDword(HKEY_LOCAL_MACHINE, RUNTIME_12_X86, "Installed", 0);
    EXPECT_EQ(CheckVcRuntime(context, VC_RUNTIME_12), 1);
    SetRegistryDword(HKEY_LOCAL_MACHINE, RUNTIME_12_X64, "Installed", 1);
    EXPECT_EQ(CheckVcRuntime(context, VC_RUNTIME_12), 0);
    EXPECT_FALSE(FileExists(context.LogFilePath())) << "the runtime 12 check logs nothing";
}

}  // namespace
