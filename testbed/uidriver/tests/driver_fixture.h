#pragma once
// DriverTarget.exe started fresh for each test, its dialog found, and the
// records it keeps in its statics read back.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "testbed/uidriver/tests/driver_target.h"
#include "tests/e2e/harness.h"

// The target ends with this code on Cancel: all 32 bits must arrive.
constexpr DWORD TARGET_EXIT_CODE = 2147750452u;  // 0x80041234

std::string TargetProgram();
std::string DriverProgram();

class TargetTest : public ::testing::Test {
protected:
    void SetUp() override;

    HWND Item(int id) const;
    // The keyboard messages the fields received, one entry per message:
    // "<field> <down|up|sysdown|sysup|char> <key hex> <lParam hex> S<shift> A<alt>".
    std::vector<std::string> KeyLog() const;
    void ClearKeyLog() const;
    std::string Answer() const;

    e2e::ProgramRun target{TargetProgram()};
    HWND dialog = nullptr;
};
