// The package set's cabinets read by the test machine's own cabinet library
// (FDI), as the setup reads them.
#include <gtest/gtest.h>

#include <fdi.h>

#include <algorithm>

#include "cabinet_reader.h"
#include "machine.h"

namespace {

using Names = std::vector<std::string>;

struct Cabinet {
    const char* name;
    Names files;     // in stored order
    Names readOnly;  // stored with the read-only attribute
};

const Names kClient = {"Corvanta10App.exe",        "CrvUi10.dll", "CrvNet10.dll", "CrvReport10.dll",
                       "Corvanta10App.exe.config", "ReadMe.txt"};
const Names kAiClient = {"CorvantaAI.exe", "CrvAiCore.dll", "CrvAiModel.dat", "CorvantaAI.exe.config", "ReadMe.txt"};
const Names kModules = {"TCorvanta10.dll", "TCrv10Cml.dll", "TCrv10Cmn.dll", "TCrv10Ntx.dll",
                        "Tz10si.dll",      "Tz10ci.dll",    "Tz10math.dll",  "TCrv10lzma.dll"};

const Cabinet kCabinets[] = {
    {"Corvanta10AppSetup.cab", kClient, {"ReadMe.txt"}},
    {"Corvanta10AppSetup32.cab", kClient, {"ReadMe.txt"}},
    {"CorvantaAIAppSetup.cab", kAiClient, {"ReadMe.txt"}},
    {"Corvanta10App.cab", kClient, {"ReadMe.txt"}},
    {"Corvanta10App32.cab", kClient, {"ReadMe.txt"}},
    {"CorvantaAiApp.cab", kAiClient, {"ReadMe.txt"}},
    {"TCorvanta10641.cab", {"TCorvanta10.dll", "TCrv10Cml.dll", "TCrv10Cmn.dll"}, {}},
    {"TCorvanta10642.cab", {"TCrv10Ntx.dll", "Tz10si.dll", "Tz10ci.dll"}, {"Tz10ci.dll"}},
    {"TCorvanta10643.cab", {"Tz10math.dll", "TCrv10lzma.dll", "TCrv10Version.txt"}, {"TCrv10Version.txt"}},
    {"TCorvanta10644.cab", {"TCrv10Summit.dll", "TCrv10Reports.dll"}, {}},
    {"TCorvanta10645.cab", {"TCrv10AddIn.dll", "SummitSales.rpt", "SummitStock.rpt"}, {}},
    {"TCrvx.cab", {"CorvantaSeed.bak", "Corvanta.ini", "CorvantaServer.config", "Templates.xml"}, {"CorvantaSeed.bak"}},
};

bool Contains(const Names& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The stored time of every file in the set: 2024-03-15 10:20:30.
void ExpectStoredTime(USHORT date, USHORT time, const std::string& what) {
    EXPECT_EQ((date >> 9) + 1980, 2024) << what;
    EXPECT_EQ((date >> 5) & 15, 3) << what;
    EXPECT_EQ(date & 31, 15) << what;
    EXPECT_EQ(time >> 11, 10) << what;
    EXPECT_EQ((time >> 5) & 63, 20) << what;
    EXPECT_EQ((time & 31) * 2, 30) << what;
}

SYSTEMTIME LocalWriteTime(const std::string& path) {
    SYSTEMTIME local{};
    WIN32_FILE_ATTRIBUTE_DATA data;
    FILETIME localFile;
    if (::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
        ::FileTimeToLocalFileTime(&data.ftLastWriteTime, &localFile))
        ::FileTimeToSystemTime(&localFile, &local);
    return local;
}

std::string FirstLine(const std::string& path) {
    std::string text = testbed::ReadWholeFile(path).value_or("");
    return text.substr(0, text.find("\r\n"));
}

TEST(PackageSetCabinets, ExtractWithTheExpectedNamesStoredTimesAndAttributes) {
    for (const Cabinet& cabinet : kCabinets) {
        SCOPED_TRACE(cabinet.name);
        testbed::TempFolder target;
        testbed::CabinetRead read = testbed::ReadCabinet(testbed::InPackageSet(cabinet.name), target.Path());
        ASSERT_TRUE(read.copied) << "FDI error " << read.fdiError;
        Names names;
        for (const testbed::CabinetEntry& entry : read.entries) {
            names.push_back(entry.name);
            ExpectStoredTime(entry.date, entry.time, entry.name);
            USHORT expected = FILE_ATTRIBUTE_ARCHIVE | (Contains(cabinet.readOnly, entry.name) ? FILE_ATTRIBUTE_READONLY : 0);
            EXPECT_EQ(entry.attributes, expected) << entry.name;

            std::string path = target / entry.name;
            SYSTEMTIME written = LocalWriteTime(path);
            EXPECT_EQ(written.wYear, 2024) << entry.name;
            EXPECT_EQ(written.wMonth, 3) << entry.name;
            EXPECT_EQ(written.wDay, 15) << entry.name;
            EXPECT_EQ(written.wHour, 10) << entry.name;
            EXPECT_EQ(written.wMinute, 20) << entry.name;
            EXPECT_EQ(written.wSecond, 30) << entry.name;
            std::string text = testbed::ReadWholeFile(path).value_or("");
            EXPECT_EQ(static_cast<LONG>(text.size()), entry.size) << entry.name;
            if (entry.name != "CorvantaSeed.bak") {
                EXPECT_EQ(FirstLine(path), entry.name);
            }
        }
        EXPECT_EQ(names, cabinet.files);
    }
}

TEST(PackageSetCabinets, TheAlwaysFetchedServerCabinetsHoldAllEightModulesAndTheSummitOnesNone) {
    Names always, summit;
    for (const char* name : {"TCorvanta10641.cab", "TCorvanta10642.cab", "TCorvanta10643.cab"})
        for (const auto& entry : testbed::ReadCabinet(testbed::InPackageSet(name)).entries) always.push_back(entry.name);
    for (const char* name : {"TCorvanta10644.cab", "TCorvanta10645.cab"})
        for (const auto& entry : testbed::ReadCabinet(testbed::InPackageSet(name)).entries) summit.push_back(entry.name);
    for (const std::string& module : kModules) {
        EXPECT_EQ(std::count(always.begin(), always.end(), module), 1) << module;
        EXPECT_FALSE(Contains(summit, module)) << module;
    }
    EXPECT_EQ(summit.size(), 5u);
}

TEST(PackageSetCabinets, ClientCabinetsDifferByBitSize) {
    for (const auto& [cabinet, bits] : {std::pair{"Corvanta10AppSetup.cab", "64 Bit"},
                                        std::pair{"Corvanta10AppSetup32.cab", "32 Bit"}}) {
        testbed::TempFolder target;
        ASSERT_TRUE(testbed::ReadCabinet(testbed::InPackageSet(cabinet), target.Path()).copied);
        std::string text = testbed::ReadWholeFile(target / "Corvanta10App.exe").value_or("");
        EXPECT_NE(text.find(bits), std::string::npos) << cabinet;
    }
}

TEST(PackageSetCabinets, TheFirstInstallationDataHasNoLibraryAndASeedOverSeveralDataBlocks) {
    testbed::TempFolder target;
    testbed::CabinetRead read = testbed::ReadCabinet(testbed::InPackageSet("TCrvx.cab"), target.Path());
    ASSERT_TRUE(read.copied);
    for (const auto& entry : read.entries) {
        std::string lower = entry.name;
        for (char& c : lower) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(lower.find("dll"), std::string::npos) << entry.name;
    }
    std::string seed = testbed::ReadWholeFile(target / "CorvantaSeed.bak").value_or("");
    EXPECT_GT(seed.size(), 3u * 32768u);
    EXPECT_TRUE(seed.starts_with("seed row 00001: "));
    EXPECT_TRUE(seed.ends_with("seed row 03000: Corvanta 10.1 first-installation data\r\n"));
}

TEST(FaultCabinets, ADamagedDataBlockFailsAsACorruptCabinet) {
    testbed::TempFolder target;
    testbed::CabinetRead read = testbed::ReadCabinet(testbed::InPackageSet("faults\\corrupt-data.cab"), target.Path());
    EXPECT_FALSE(read.copied);
    EXPECT_EQ(read.fdiError, FDIERROR_CORRUPT_CABINET);
    EXPECT_EQ(testbed::CabinetFileCount(testbed::InPackageSet("faults\\corrupt-data.cab")), 3)
        << "the headers must stay intact";
}

TEST(FaultCabinets, ATruncatedCabinetFails) {
    testbed::TempFolder target;
    testbed::CabinetRead read = testbed::ReadCabinet(testbed::InPackageSet("faults\\truncated.cab"), target.Path());
    EXPECT_FALSE(read.copied);
    EXPECT_EQ(read.fdiError, FDIERROR_CORRUPT_CABINET);
}

TEST(FaultCabinets, AFileThatIsNoCabinetIsReportedAsSuch) {
    testbed::CabinetRead read = testbed::ReadCabinet(testbed::InPackageSet("faults\\not-a-cabinet.cab"));
    EXPECT_FALSE(read.copied);
    EXPECT_EQ(read.fdiError, FDIERROR_NOT_A_CABINET);
    EXPECT_EQ(testbed::CabinetFileCount(testbed::InPackageSet("faults\\not-a-cabinet.cab")), -1);
}

TEST(FaultCabinets, UnsafeStoredNamesReachTheCopyNotificationUnchanged) {
    std::string cabinet = testbed::InPackageSet("faults\\unsafe-names.cab");
    EXPECT_EQ(testbed::CabinetFileCount(cabinet), 4);
    testbed::CabinetRead read = testbed::ReadCabinet(cabinet);  // nothing is written
    EXPECT_TRUE(read.copied) << "FDI error " << read.fdiError;
    Names names;
    for (const auto& entry : read.entries) {
        names.push_back(entry.name);
        ExpectStoredTime(entry.date, entry.time, entry.name);
    }
    EXPECT_EQ(names, (Names{"good.txt", "C:\\Windows\\evil.txt", "D:evil.txt", "..\\evil.txt"}));
}

TEST(FaultCabinets, TheHandWrittenCabinetCarriesItsDataIntact) {
    testbed::TempFolder target;
    auto onlySafe = [](const std::string& name) { return name == "good.txt"; };
    testbed::CabinetRead read = testbed::ReadCabinet(testbed::InPackageSet("faults\\unsafe-names.cab"), target.Path(), onlySafe);
    ASSERT_TRUE(read.copied) << "FDI error " << read.fdiError;
    EXPECT_EQ(testbed::ReadWholeFile(target / "good.txt"),
              "unsafe-names.cab entry 1: must never be written outside the target folder\r\n");
}

}  // namespace
