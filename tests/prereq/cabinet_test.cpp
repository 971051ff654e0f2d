// Unpacking real cabinets of the package set with the system's cabinet library.
#include "prereq/cabinet.h"

#include <gtest/gtest.h>

#include "support/dialog_fixture.h"
#include "support/testbed_access.h"

namespace {

class Cabinets : public ContextTest {
protected:
    std::string PackageFolder() { return PackagePath(""); }
    std::string Target(const std::string& name) { return startFolder / ("out\\" + name); }
    void SetUp() override { ::CreateDirectoryA((startFolder / "out").c_str(), nullptr); }
};

FILETIME StoredTime() {
    SYSTEMTIME local = {2024, 3, 5, 15, 10, 20, 30, 0};
    FILETIME localTime, utc;
    ::SystemTimeToFileTime(&local, &localTime);
    ::LocalFileTimeToFileTime(&localTime, &utc);
    return utc;
}

TEST_F(Cabinets, UnpacksFlatWithStoredTimesAndNormalAttributes) {
    EXPECT_EQ(ExtractCabinet(context, "Corvanta10AppSetup.cab", PackagePath("").substr(0, PackagePath("").size() - 1),
                             startFolder / "out"),
              1);
    for (const char* name : {"Corvanta10App.exe", "CrvUi10.dll", "ReadMe.txt"}) EXPECT_TRUE(FileExists(Target(name)));
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(::GetFileAttributesExA(Target("ReadMe.txt").c_str(), GetFileExInfoStandard, &data));
    EXPECT_FALSE(data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) << "stored read-only, written normal";
    const FILETIME stored = StoredTime();
    for (const FILETIME& time : {data.ftCreationTime, data.ftLastAccessTime, data.ftLastWriteTime}) {
        EXPECT_EQ(::CompareFileTime(&time, &stored), 0);
    }
    // A second run overwrites every file.
    ASSERT_TRUE(WriteFileText(Target("CrvUi10.dll"), "changed"));
    EXPECT_EQ(ExtractCabinetFiles(context, "Corvanta10AppSetup.cab", PackageFolder(), startFolder / "out\\"), 1);
    EXPECT_NE(ReadFileText(Target("CrvUi10.dll")), "changed");
    EXPECT_TRUE(host.standardOutput.empty());
}

TEST_F(Cabinets, PassesOverANameWithoutCab) {
    EXPECT_EQ(ExtractCabinet(context, "vcredist_x64.exe", PackageFolder(), startFolder / "out"), 1);
    EXPECT_FALSE(FileExists(Target("vcredist_x64.exe")));
    EXPECT_FALSE(FileExists(context.LogFilePath()));
}

TEST_F(Cabinets, ALockedTargetFailsQuietlyAfterItsAttempts) {
    ASSERT_TRUE(WriteFileText(Target("Tz10si.dll"), "in use"));
    HANDLE locked = ::CreateFileA(Target("Tz10si.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(ExtractCabinet(context, "TCorvanta10642.cab", PackageFolder(), startFolder / "out"), 0);
    ::CloseHandle(locked);
    EXPECT_TRUE(host.standardOutput.empty());
    EXPECT_FALSE(FileExists(context.LogFilePath()));
}

TEST_F(Cabinets, ACorruptCabinetIsReportedOnceWithoutRetry) {
    EXPECT_EQ(ExtractCabinet(context, "corrupt-data.cab", PackagePath("faults"), startFolder / "out"), 0);
    EXPECT_EQ(LogText(), "Server Setup:Corrupt cabinet\r\n");
    EXPECT_EQ(host.standardOutput, "FDICopy failed with error code 4: Corrupt cabinet\n");
    context.CloseLog();
    ::DeleteFileA(context.LogFilePath().c_str());
    context.logFileOpened = false;
    EXPECT_EQ(ExtractCabinet(context, "missing.cab", PackagePath("faults"), startFolder / "out"), 0);
    EXPECT_EQ(LogText(), "Server Setup:Cabinet not found\r\n");
}

TEST_F(Cabinets, RefusesNamesThatWouldLeaveTheDestination) {
    EXPECT_EQ(ExtractCabinet(context, "unsafe-names.cab", PackagePath("faults"), startFolder / "out"), 0);
    EXPECT_EQ(LogText(), "Server Setup:Unsafe file name in cabinet unsafe-names.cab: C:\\Windows\\evil.txt\r\n");
    EXPECT_FALSE(FileExists("C:\\Windows\\evil.txt"));
    EXPECT_FALSE(FileExists(startFolder / "evil.txt"));
    EXPECT_FALSE(FileExists("D:evil.txt"));
    EXPECT_TRUE(IsUnsafeCabinetName("a\\..\\b"));
    EXPECT_TRUE(IsUnsafeCabinetName("\\rooted"));
    EXPECT_FALSE(IsUnsafeCabinetName("..name"));
    // Device names reach a device wherever they are written.
    for (const char* name : {"CON", "nul.txt", "COM1.cab", "lpt9", "sub\\AUX.log", "PRN . x"}) {
        EXPECT_TRUE(IsUnsafeCabinetName(name)) << name;
    }
    for (const char* name : {"CONSOLE.txt", "COM10", "lpt0", "NULL", "x.CON"}) EXPECT_FALSE(IsUnsafeCabinetName(name)) << name;
}

TEST_F(Cabinets, RefusesPathsLongerThanItsBuffers) {
    EXPECT_EQ(ExtractCabinet(context, "TCrvx.cab", PackageFolder(), "C:\\" + std::string(260, 'x')), 0);
    EXPECT_NE(LogText().find("Server Setup:Path too long for extraction;C:\\xxx"), std::string::npos);
}

}  // namespace
