#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <unistd.h>

#include "core/config/IniFile.h"
#include "support/TestSupport.h"

using quillbox::config::IniFile;
using quillbox::test::freshDirectory;
using quillbox::test::readFile;
using quillbox::test::writeFile;

namespace {

const std::string kZhongwenUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文
const std::string kZhongwenGbk = "\xD6\xD0\xCE\xC4";

class IniFileTest : public testing::Test {
protected:
    void SetUp() override { path = freshDirectory("ini") + "/test.ini"; }
    IniFile ini() const { return IniFile(path); }
    std::string path;
};

}  // namespace

// ---- reading -------------------------------------------------------------------------

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(ini().read("config", "update", "true"), "true");
    writeFile(path, "[config]\nupdate=false\n");
    EXPECT_EQ(ini().read("code", "update", "dflt"), "dflt");
    EXPECT_EQ(ini().read("config", "memory_text", "dflt"), "dflt");
    EXPECT_EQ(ini().read("config", "update", "dflt"), "false");
}

TEST_F(IniFileTest, SectionsAndKeysIgnoreAsciiCaseAndSurroundingSpaces) {
    writeFile(path, "  [ Config ]  \n  Memory_Form_W  =  1024  \n");
    EXPECT_EQ(ini().read("CONFIG", "memory_form_w", ""), "1024");
    EXPECT_EQ(ini().read(" config ", " MEMORY_FORM_W ", ""), "1024");
}

TEST_F(IniFileTest, QuotedValuesLoseAMatchingPairOfQuotes) {
    writeFile(path,
              "[s]\n"
              "double=\" spaced \"\n"
              "single='x'\n"
              "unmatched=\"x'\n"
              "lone=\"\n"
              "inner=a\"b\"\n");
    EXPECT_EQ(ini().read("s", "double", ""), " spaced ");
    EXPECT_EQ(ini().read("s", "single", ""), "x");
    EXPECT_EQ(ini().read("s", "unmatched", ""), "\"x'");
    EXPECT_EQ(ini().read("s", "lone", ""), "\"");
    EXPECT_EQ(ini().read("s", "inner", ""), "a\"b\"");
}

TEST_F(IniFileTest, FirstSectionAndFirstKeyOfANameCount) {
    writeFile(path,
              "k=before any section\n"
              "[a]\nk=1\nk=2\n"
              "[b]\nk=3\n"
              "[A]\nk=4\nonly=5\n");
    EXPECT_EQ(ini().read("a", "k", ""), "1");
    EXPECT_EQ(ini().read("b", "k", ""), "3");
    // A key in a later section of the same name is not seen.
    EXPECT_EQ(ini().read("a", "only", "dflt"), "dflt");
}

TEST_F(IniFileTest, CommentsAndLinesWithoutEqualsAreNoKeys) {
    writeFile(path, "[s]\n;k=commented\nk\n[broken\nk2=v\n");
    EXPECT_EQ(ini().read("s", ";k", "dflt"), "dflt");
    EXPECT_EQ(ini().read("s", "k", "dflt"), "dflt");
    // A header without "]" is ignored, so the key still belongs to [s].
    EXPECT_EQ(ini().read("s", "k2", ""), "v");
}

TEST_F(IniFileTest, ValuesAreDecodedFromGb18030OrUtf8AndCrLfIsAccepted) {
    writeFile(path, "[s]\r\nname=" + kZhongwenGbk + "\r\nempty=\r\n");
    EXPECT_EQ(ini().read("s", "name", ""), kZhongwenUtf8);
    EXPECT_EQ(ini().read("s", "empty", "dflt"), "");
    writeFile(path, "\xEF\xBB\xBF[s]\nname=" + kZhongwenUtf8 + "\n");
    EXPECT_EQ(ini().read("s", "name", ""), kZhongwenUtf8);
}

TEST_F(IniFileTest, AnUnreadableFileReadsAsDefaults) {
    std::filesystem::create_directories(path);  // a directory where the file should be
    EXPECT_EQ(ini().read("s", "k", "dflt"), "dflt");
}

// ---- writing -------------------------------------------------------------------------

TEST_F(IniFileTest, WriteCreatesTheFileAndTheSection) {
    ASSERT_TRUE(ini().write("config", "update", "false"));
    EXPECT_EQ(readFile(path), "[config]\nupdate=false\n");
    ASSERT_TRUE(ini().write("code", "init", "true"));
    EXPECT_EQ(readFile(path), "[config]\nupdate=false\n[code]\ninit=true\n");
    EXPECT_EQ(ini().read("code", "init", ""), "true");
}

TEST_F(IniFileTest, WriteKeepsEveryOtherLineByteForByte) {
    const std::string before =
        "; Quillbox settings\r\n"
        "\r\n"
        "[update]\r\n"
        "ver = 1.30   \r\n"
        "\r\n"
        "[Config]\r\n"
        "\tUpdate  =  true\r\n"
        "memory_text=true\r\n"
        "; trailing comment\r\n";
    writeFile(path, before);
    ASSERT_TRUE(ini().write("config", "update", "false"));
    std::string expected = before;
    expected.replace(expected.find("\tUpdate  =  true"), 16, "\tUpdate=false");
    EXPECT_EQ(readFile(path), expected);
}

TEST_F(IniFileTest, NewKeyGoesAfterTheSectionsLastKey) {
    writeFile(path, "[a]\nx=1\n\n; about b\n[b]\ny=2");
    ASSERT_TRUE(ini().write("a", "z", "3"));
    ASSERT_TRUE(ini().write("b", "w", "4"));
    // The comment introducing [b] stays with it; the last line gains its missing break.
    EXPECT_EQ(readFile(path), "[a]\nx=1\nz=3\n\n; about b\n[b]\ny=2\nw=4\n");
}

TEST_F(IniFileTest, NewSectionFollowsTheFilesLineEndings) {
    writeFile(path, "[a]\r\nx=1");
    ASSERT_TRUE(ini().write("b", "y", "2"));
    EXPECT_EQ(readFile(path), "[a]\r\nx=1\r\n[b]\r\ny=2\r\n");
}

TEST_F(IniFileTest, KeysAreMatchedWithoutCaseSoNoDuplicateIsWritten) {
    writeFile(path, "[CONFIG]\nMEMORY_TEXT=true\n");
    ASSERT_TRUE(ini().write("config", "memory_text", "false"));
    EXPECT_EQ(readFile(path), "[CONFIG]\nMEMORY_TEXT=false\n");
}

TEST_F(IniFileTest, ValuesAreStoredInGb18030AndAUtf8FileStaysUtf8) {
    ASSERT_TRUE(ini().write("s", "name", kZhongwenUtf8));
    EXPECT_EQ(readFile(path), "[s]\nname=" + kZhongwenGbk + "\n");
    EXPECT_EQ(ini().read("s", "name", ""), kZhongwenUtf8);

    // A file saved as UTF-8 by another editor: the new line must not make it unreadable.
    writeFile(path, "[s]\ncomment=" + kZhongwenUtf8 + "\n");
    ASSERT_TRUE(ini().write("s", "name", kZhongwenUtf8 + "2"));
    EXPECT_EQ(readFile(path), "[s]\ncomment=" + kZhongwenUtf8 + "\nname=" + kZhongwenUtf8 + "2\n");
    EXPECT_EQ(ini().read("s", "comment", ""), kZhongwenUtf8);
}

TEST_F(IniFileTest, BadNamesAndValuesAreRefusedAndChangeNothing) {
    const std::string before = "[s]\nk=v\n";
    writeFile(path, before);
    std::string error;
    EXPECT_FALSE(ini().write("s", "k", "v\n[evil]\nx=1", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(ini().write("s", "a=b", "v"));
    EXPECT_FALSE(ini().write("s]x", "k", "v"));
    EXPECT_FALSE(ini().write("s", "", "v"));
    EXPECT_FALSE(ini().write(" ", "k", "v"));
    EXPECT_FALSE(ini().write("s", "k\rx", "v"));
    EXPECT_EQ(readFile(path), before);
}

// A write first reads the file it changes; a file it cannot read is left alone rather than
// replaced by the one key. Unreadable by its permissions (not for root, who reads every
// file) or by what it is (a FIFO, for anyone).
TEST_F(IniFileTest, AFileThatCannotBeReadIsNotOverwritten) {
    namespace fs = std::filesystem;
    const std::string before = "[s]\nk=v\nother=keep\n";
    if (geteuid() != 0) {
        writeFile(path, before);
        fs::permissions(path, fs::perms::none);
        std::string error;
        EXPECT_FALSE(ini().write("s", "k", "new", &error));
        EXPECT_FALSE(error.empty());
        fs::permissions(path, fs::perms::owner_all);
        EXPECT_EQ(readFile(path), before);
        fs::remove(path);
    }
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    std::string error;
    EXPECT_FALSE(ini().write("s", "k", "new", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_fifo(path));
}

TEST_F(IniFileTest, AFailedWriteIsReported) {
    std::filesystem::create_directories(path);
    std::string error;
    EXPECT_FALSE(ini().write("s", "k", "v", &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(IniFileTest, WriteThroughASymbolicLinkKeepsTheLink) {
    const std::string real = freshDirectory("ini-real") + "/real.ini";
    writeFile(real, "[s]\nk=1\n");
    std::filesystem::create_symlink(real, path);
    ASSERT_TRUE(ini().write("s", "k", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(readFile(real), "[s]\nk=2\n");
}

TEST_F(IniFileTest, APrivateFileStaysPrivate) {
    namespace fs = std::filesystem;
    writeFile(path, "[s]\nk=1\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(ini().write("s", "k", "2"));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(IniFileTest, WriteIfChoosesTheValueByTheCondition) {
    ASSERT_TRUE(ini().writeIf(true, "config", "memory_form", "true", "false"));
    EXPECT_EQ(ini().read("config", "memory_form", ""), "true");
    ASSERT_TRUE(ini().writeIf(false, "config", "memory_form", "true", "false"));
    EXPECT_EQ(ini().read("config", "memory_form", ""), "false");
}

TEST_F(IniFileTest, WrittenValuesReadBackTrimmedAsTheWindowsFunctionsDo) {
    ASSERT_TRUE(ini().write("s", "k", "  padded  "));
    EXPECT_EQ(ini().read("s", "k", ""), "padded");
}
