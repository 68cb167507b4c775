// The one writer behind every file the program makes: links, FIFOs, devices and odd names.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>

#include "core/platform/FileIO.h"
#include "support/TestSupport.h"

using namespace quillbox;
using quillbox::test::freshDirectory;
using quillbox::test::readFile;
using quillbox::test::writeFile;
namespace fs = std::filesystem;

namespace {
bool isLink(const std::string& path) { return fs::is_symlink(fs::symlink_status(path)); }
std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
}  // namespace

TEST(FileWrite, SymbolicLinksAreFollowedAndStayLinks) {
    const std::string dir = freshDirectory("write-links");
    fs::create_directories(dir + "/real");
    writeFile(dir + "/real/t.img", "old");
    fs::create_symlink("real/t.img", dir + "/l.img");    // relative to the link's directory
    fs::create_symlink(dir + "/l.img", dir + "/ll.img");  // a link to a link
    fs::create_symlink("real/new.img", dir + "/dangling.img");
    struct Case {
        std::string path, target;
    };
    for (const Case& c : std::vector<Case>{{dir + "/l.img", dir + "/real/t.img"},
                                           {dir + "/ll.img", dir + "/real/t.img"},
                                           {dir + "/dangling.img", dir + "/real/new.img"}}) {
        std::string error;
        ASSERT_TRUE(files::writeAtomically(c.path, "via " + c.path, &error)) << error;
        EXPECT_TRUE(isLink(c.path)) << c.path;
        EXPECT_FALSE(isLink(c.target));
        EXPECT_EQ(readFile(c.target), "via " + c.path);
    }
    // No temporary file is left anywhere.
    EXPECT_EQ(entries(dir + "/real"), (std::vector<std::string>{"new.img", "t.img"}));

    fs::create_symlink("loop.img", dir + "/loop.img");
    std::string error;
    EXPECT_FALSE(files::writeAtomically(dir + "/loop.img", "x", &error));
    EXPECT_NE(error.find("loop.img"), std::string::npos) << error;
}

TEST(FileWrite, FifoIsWrittenDirectlyAndStaysAFifo) {
    const std::string dir = freshDirectory("write-fifo");
    const std::string fifo = dir + "/pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = readFile(fifo); });
    std::string error;
    EXPECT_TRUE(files::writeAtomically(fifo, "through the pipe", &error)) << error;
    reader.join();
    EXPECT_EQ(received, "through the pipe");
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(entries(dir), std::vector<std::string>{"pipe"});
}

TEST(FileWrite, DevicesAreWrittenNotReplaced) {
    std::string error;
    EXPECT_TRUE(files::writeAtomically("/dev/null", "gone", &error)) << error;
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    if (fs::exists("/dev/full")) {
        EXPECT_FALSE(files::writeAtomically("/dev/full", "no room", &error));
        EXPECT_NE(error.find("/dev/full: "), std::string::npos) << error;
        EXPECT_TRUE(fs::is_character_file("/dev/full"));
    }
}

TEST(FileWrite, DirectoriesAreRefusedAndLeftAlone) {
    const std::string dir = freshDirectory("write-dir");
    fs::create_directories(dir + "/sub");
    writeFile(dir + "/sub/inside", "kept");
    fs::create_symlink("sub", dir + "/to-sub");
    for (const std::string& path : {dir + "/sub", dir + "/to-sub"}) {
        std::string error;
        EXPECT_FALSE(files::writeAtomically(path, "x", &error)) << path;
        EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
    }
    EXPECT_TRUE(fs::is_directory(dir + "/sub"));
    EXPECT_EQ(readFile(dir + "/sub/inside"), "kept");
}

TEST(FileWrite, ReplacedFileKeepsItsPermissions) {
    const std::string dir = freshDirectory("write-mode");
    const std::string path = dir + "/script.sh";
    writeFile(path, "old");
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read, fs::perm_options::replace);
    ASSERT_TRUE(files::writeAtomically(path, "new"));
    EXPECT_EQ(readFile(path), "new");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_all | fs::perms::group_read);
}

TEST(FileWrite, LongestNameTheFileSystemTakesCanBeWritten) {
    const std::string dir = freshDirectory("write-long");
    const long max = files::maxNameLength(dir);
    ASSERT_GT(max, 8);
    EXPECT_EQ(files::maxNameLength(dir + "/not/made/yet"), max);
    const std::string path = dir + "/" + std::string(static_cast<std::size_t>(max), 'n');
    std::string error;
    ASSERT_TRUE(files::writeAtomically(path, "long", &error)) << error;  // the temporary name is cut to fit
    EXPECT_EQ(readFile(path), "long");
    EXPECT_EQ(entries(dir).size(), 1u);
}

// The reader of the program's own files takes only regular files, and never waits on a FIFO.
TEST(FileRead, OnlyRegularFilesAreReadAndNothingElseBlocks) {
    const std::string dir = freshDirectory("read-regular");
    writeFile(dir + "/file", "text");
    fs::create_symlink(dir + "/file", dir + "/link");
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);
    fs::create_directories(dir + "/dir");
    const std::vector<std::tuple<std::string, bool, const char*>> cases = {
        {dir + "/file", true, ""},
        {dir + "/link", true, ""},
        {dir + "/fifo", false, "not a regular file"},
        {"/dev/null", false, "not a regular file"},
        {dir + "/dir", false, "Is a directory"},
        {dir + "/missing", false, "No such file"},
    };
    for (const auto& [path, readable, why] : cases) {
        std::string bytes = "old";
        std::string error;
        EXPECT_EQ(files::readRegularFile(path, bytes, &error), readable) << path;
        EXPECT_EQ(bytes, readable ? "text" : "") << path;
        EXPECT_NE(error.find(why), std::string::npos) << path << ": " << error;
    }
}
