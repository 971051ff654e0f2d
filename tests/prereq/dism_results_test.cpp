// How the IIS features read DISM's answers and texts.
#include "prereq/dism_results.h"

#include <gtest/gtest.h>

namespace {

TEST(DismResults, OnlyTheMissingSourceAnswersLeadToOneCallPerFeature) {
    const struct {
        unsigned long hr;
        DismAnswer answer;
    } cases[] = {
        {0x00000000, DismAnswer::Done},
        {0x00000001, DismAnswer::Done},                 // S_FALSE: a success like any other
        {0x00000BC2, DismAnswer::DoneRestartRequired},  // ERROR_SUCCESS_REBOOT_REQUIRED
        {0x800F081F, DismAnswer::SourceMissing},
        {0x800F0906, DismAnswer::SourceMissing},
        {0x800F0907, DismAnswer::SourceMissing},
        {0x800F0954, DismAnswer::SourceMissing},
        {0x800F0908, DismAnswer::Failed},  // next to them, but no missing source
        {0x800F080C, DismAnswer::Failed},  // unknown feature
        {0xC004000D, DismAnswer::Failed},  // parent feature disabled
        {0x800704C7, DismAnswer::Failed},  // cancelled
        {0x80070005, DismAnswer::Failed},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyEnableResult(static_cast<HRESULT>(c.hr)), c.answer) << std::hex << c.hr;
    }
}

TEST(DismResults, PutsDismsTextOnOneLine) {
    const struct {
        const char* text;
        const char* line;
    } cases[] = {
        {"", ""},
        {"\r\n", ""},
        {".", ""},
        {"The source files could not be found.", "The source files could not be found"},
        {"The source files could not be found.\r\nUse the \"Source\" option.\r\n",
         "The source files could not be found. Use the \"Source\" option"},
        {"First line\nsecond line", "First line second line"},
        {"  runs   of\t\tblanks  ", "runs of blanks"},
        {"Ends with a blank. ", "Ends with a blank"},
        {"Two periods..", "Two periods."},
        {"No period at the end", "No period at the end"},
    };
    for (const auto& c : cases) EXPECT_EQ(OneLineText(c.text), c.line) << c.text;
}

TEST(DismResults, TellsWhichFeatureWasLeftOffAndWhy) {
    const std::string advice =
        ". Its files are not on this machine: give Windows a source (installation media) and run the repair.";
    const struct {
        const char* feature;
        const char* dismText;
        unsigned long hr;
        std::string line;
    } cases[] = {
        {"IIS-NetFxExtensibility", "The source files could not be found", 0x800F081F,
         "Could not enable IIS-NetFxExtensibility: The source files could not be found" + advice},
        {"IIS-NetFxExtensibility", "", 0x800F0954,
         "Could not enable IIS-NetFxExtensibility: DISM failed with 0x800F0954" + advice},
        // Only a missing payload is mended by installation media.
        {"IIS-WebServer", "Access is denied", 0x80070005, "Could not enable IIS-WebServer: Access is denied"},
        {"IIS-WebServer", "", 0x80070005, "Could not enable IIS-WebServer: DISM failed with 0x80070005"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FeatureNotEnabledText(c.feature, c.dismText, static_cast<HRESULT>(c.hr)), c.line);
    }
}

}  // namespace
