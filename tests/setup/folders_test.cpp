#include "setup/folders.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace {

TEST(CreateFolderPath, MakesTheMissingPartOfAPath) {
    TempFolder temp;
    ::CreateDirectoryA((temp / "Apps").c_str(), nullptr);
    EXPECT_EQ(CreateFolderPath(temp / "Apps\\Srv\\Update"), 1);
    EXPECT_TRUE(FolderExists(temp / "Apps\\Srv\\Update"));
    // Existing folders are only entered; trailing blanks and a backslash are ignored.
    EXPECT_EQ(CreateFolderPath(temp / "Apps\\Srv\\Update\\   "), 1);
    EXPECT_EQ(CreateFolderPath(""), 1);
    std::string errors = "untouched";
    EXPECT_EQ(CreateFolderPathReporting(temp / "Apps\\Srv", errors), 1);
    EXPECT_EQ(errors, "untouched");
    EXPECT_EQ(CreateFolderPathReporting("\\\\?\\" + (temp / "Long\\Path\\"), errors), 1);
    EXPECT_TRUE(FolderExists(temp / "Long\\Path"));
}

TEST(CreateFolderPath, ReportsAFolderThatCannotBeMadeWhereItWasAsked) {
    TempFolder temp;
    ASSERT_TRUE(WriteFileText(temp / "file", "a file where a folder should go"));
    EXPECT_EQ(CreateFolderPath(temp / "file\\Update"), 0);
    EXPECT_FALSE(FolderExists(temp / "Update")) << "nothing made in the wrong place";
    std::string errors;
    EXPECT_EQ(CreateFolderPathReporting(temp / "file\\Update", errors), 0);
    EXPECT_FALSE(errors.empty());
}

TEST(RemoveLibraryFiles, DeletesFilesNamedWithDllOnly) {
    TempFolder temp;
    for (const char* name : {"a.dll", "b.DLL.dll", "dllinfo.txt", "C.DLL", "keep.txt"}) {
        ASSERT_TRUE(WriteFileText(temp / name, "content"));
    }
    ::CreateDirectoryA((temp / "sub.dll").c_str(), nullptr);
    EXPECT_EQ(RemoveLibraryFiles(temp.Path() + "\\"), 1);
    EXPECT_FALSE(FileExists(temp / "a.dll"));
    EXPECT_FALSE(FileExists(temp / "b.DLL.dll"));
    EXPECT_FALSE(FileExists(temp / "dllinfo.txt"));
    EXPECT_TRUE(FileExists(temp / "C.DLL")) << "the name is compared case-sensitively";
    EXPECT_TRUE(FileExists(temp / "keep.txt"));
    EXPECT_TRUE(FolderExists(temp / "sub.dll"));
    EXPECT_EQ(RemoveLibraryFiles(temp / "missing"), 0);
}

}  // namespace
