// Text output and the batch line writer, through real files.
#include "batch_line.h"
#include "console_services.h"
#include "tool_runner.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(TextOutput, LineFeedsBecomeCrLfAndOtherBytesPass)
{
    ScratchDir dir;
    TextStream stream;
    ASSERT_TRUE(text_create(&stream, (dir / "out.txt").c_str()));
    const std::string bytes("a\nb\r\n\xff\x01%s\n\n", 11);
    EXPECT_TRUE(text_write(&stream, bytes.data(), bytes.size()));
    EXPECT_TRUE(text_close(&stream));
    EXPECT_EQ(read_file(dir / "out.txt"), std::string("a\r\nb\r\r\n\xff\x01%s\r\n\r\n", 15));
}

TEST(TextOutput, FileIsWrittenIn512ByteBlocks)
{
    ScratchDir dir;
    TextStream stream;
    ASSERT_TRUE(text_create(&stream, (dir / "out.txt").c_str()));
    text_put(&stream, std::string(511, 'x').c_str());
    EXPECT_EQ(read_file(dir / "out.txt").size(), 0u);
    text_put(&stream, "\n"); // CR fills the block, LF starts the next one
    EXPECT_EQ(read_file(dir / "out.txt").size(), 512u);
    EXPECT_TRUE(text_close(&stream));
    EXPECT_EQ(read_file(dir / "out.txt"), std::string(511, 'x') + "\r\n");
}

TEST(TextOutput, CreateEmptiesAndUsesBackslashAsSeparator)
{
    ScratchDir dir;
    mkdir((dir / "sub").c_str(), 0755);
    write_file(dir / "sub/list.txt", "old");
    TextStream stream;
    ASSERT_TRUE(text_create(&stream, (dir.path() + "\\sub\\list.txt").c_str()));
    EXPECT_TRUE(text_close(&stream));
    EXPECT_EQ(read_file(dir / "sub/list.txt"), "");
    EXPECT_FALSE(text_create(&stream, (dir / "missing/list.txt").c_str()));
    EXPECT_FALSE(text_create(&stream, (dir / "sub").c_str()));
}

TEST(TextOutput, FailedWriteIsReportedAndSticks)
{
    if (access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "needs /dev/full";
    TextStream stream;
    ASSERT_TRUE(text_create(&stream, "/dev/full"));
    EXPECT_TRUE(text_put(&stream, "short\n")); // still in the buffer
    EXPECT_FALSE(text_flush(&stream));
    EXPECT_FALSE(text_put(&stream, "more\n"));
    EXPECT_FALSE(text_close(&stream));
}

struct LineCase {
    const char *label;
    const char *tool, *name, *out_ext;
    const char *params[3];
    const char *expected;
};

class BatchLine : public testing::TestWithParam<LineCase> {};

// Names that never reach Exec through a POSIX folder search (a leading dot
// makes a name hidden there) still have their line built the same way.
TEST_P(BatchLine, IsBuiltFromSevenFields)
{
    const LineCase &c = GetParam();
    ScratchDir dir;
    TextStream stream;
    ASSERT_TRUE(text_create(&stream, (dir / "out.bat").c_str()));
    EXPECT_TRUE(write_batch_line(&stream, c.tool, c.name, c.out_ext, c.params));
    EXPECT_TRUE(text_close(&stream));
    EXPECT_EQ(read_file(dir / "out.bat"), crlf(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Names, BatchLine,
    testing::Values(LineCase{"leading_dot_has_empty_base", "t", ".shp", "s16", {"", "", ""}, "t .shp .s16   \n"},
                    LineCase{"all_parameters", "t", "a.b", "c", {"1", "2", "3"}, "t a.b a.c 1 2 3\n"},
                    LineCase{"dotless", "t", "README", "s16", {"p", "", ""}, "t README README.s16 p  \n"}),
    LabelName());

} // namespace
