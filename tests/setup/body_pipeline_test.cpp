// The body of a download written and hashed off the reading thread.
#include "setup/body_pipeline.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_folder.h"
#include "win/handles.h"

namespace {

win::FileHandle OpenForWriting(const std::string& path, DWORD access) {
    return win::FileHandle(::CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST(BodyPipeline, WritesAndHashesEveryPieceInOrderAfterWhatWasThere) {
    TempFolder folder;
    const std::string path = folder / "body.partial";
    ASSERT_TRUE(WriteFileText(path, "kept"));
    win::FileHandle file = OpenForWriting(path, GENERIC_READ | GENERIC_WRITE);
    ASSERT_TRUE(file);
    LARGE_INTEGER zero = {};
    ::SetFilePointerEx(file.Get(), zero, nullptr, FILE_END);
    win::Sha256 hash;
    hash.Update(std::string_view("kept"));  // a resumed body goes on from its start
    std::string expected = "kept";
    BodyPipeline::Result result;
    {
        BodyPipeline pipeline(file.Get(), hash);
        for (int i = 0; i < 40; ++i) {  // more pieces than buffers
            const std::string piece(1000 + i * 977, static_cast<char>('a' + i % 26));
            expected += piece;
            ASSERT_TRUE(pipeline.Push(piece.data(), static_cast<DWORD>(piece.size())));
        }
        result = pipeline.Finish();
    }
    file.Reset();
    EXPECT_EQ(result.error, 0u);
    EXPECT_EQ(result.written, expected.size() - 4);
    EXPECT_EQ(ReadFileText(path), expected);
    EXPECT_EQ(hash.Finish(), win::Sha256Of(expected));
}

TEST(BodyPipeline, AFailedWriteStopsTakingPiecesAndTellsItsError) {
    TempFolder folder;
    const std::string path = folder / "readonly.partial";
    ASSERT_TRUE(WriteFileText(path, ""));
    win::FileHandle file = OpenForWriting(path, GENERIC_READ);  // every write is refused
    win::Sha256 hash;
    BodyPipeline pipeline(file.Get(), hash);
    const std::string piece(4096, 'x');
    bool refused = false;
    for (int i = 0; i < 100 && !refused; ++i) refused = !pipeline.Push(piece.data(), static_cast<DWORD>(piece.size()));
    const BodyPipeline::Result result = pipeline.Finish();
    EXPECT_NE(result.error, 0u);
    EXPECT_EQ(result.written, 0u);
    EXPECT_FALSE(pipeline.Push(piece.data(), static_cast<DWORD>(piece.size())));
}

}  // namespace
