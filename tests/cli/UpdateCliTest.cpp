// quillbox-cli release and update end to end: a key, a signed release tree served on
// 127.0.0.1, and the update command run against it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "support/LoopbackHttpServer.h"
#include "support/TestSupport.h"

using namespace quillbox::test;

namespace {

ProcessResult cli(const std::vector<std::string>& args) { return runProcess(QUILLBOX_CLI, args); }

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

TEST(UpdateCli, ReleaseSiteServedToTheUpdateCommand) {
    const std::string dir = freshDirectory("update-cli");
    const ProcessResult keygen = cli({"release", "keygen", dir + "/release.key"});
    ASSERT_EQ(keygen.status, 0) << keygen.err;
    const std::string publicKey = trimmed(keygen.out);
    EXPECT_EQ(publicKey.size(), 44u);
    EXPECT_EQ(std::filesystem::status(dir + "/release.key").permissions() & std::filesystem::perms::group_read,
              std::filesystem::perms::none);
    // A key file is never replaced.
    EXPECT_EQ(cli({"release", "keygen", dir + "/release.key"}).status, 1);

    LoopbackHttpServer server(serveDirectory(dir + "/site"));
    ::setenv("QUILLBOX_UPDATE_SERVER", server.url("").c_str(), 1);
    ::setenv("QUILLBOX_UPDATE_PUBLIC_KEY", publicKey.c_str(), 1);
    writeFile(dir + "/quillbox-1.31", "#!/bin/sh\necho 1.31\n");
    const ProcessResult site = cli({"release", "site", dir + "/site", "--key", dir + "/release.key", "--version",
                                    "1.31", "--binary", dir + "/quillbox-1.31", "--note", "修正", "--note", "b"});
    ASSERT_EQ(site.status, 0) << site.err;
    for (const char* file : {"Quillbox_config.txt", "Quillbox_config_all.txt", "lib/lib.json", "lib/lib.json.sig",
                             "lib/md5.js", "lib/md5.js.LICENSE.txt", "download/1.31/quillbox-1.31"})
        EXPECT_TRUE(std::filesystem::exists(dir + "/site/Quillbox/" + file)) << file;

    writeFile(dir + "/program/quillbox", "old");
    ProcessResult update = cli({"update", "--program", dir + "/program/quillbox"});
    EXPECT_EQ(update.status, 0) << update.err;
    EXPECT_NE(update.out.find("检测到新版本 (1.30[旧]/1.31[新])"), std::string::npos) << update.out;
    EXPECT_NE(update.out.find("///* 1.修正"), std::string::npos) << update.out;
    EXPECT_EQ(readFile(dir + "/program/quillbox"), "old");

    update = cli({"update", "--yes", "--program", dir + "/program/quillbox"});
    EXPECT_EQ(update.status, 0) << update.err;
    EXPECT_NE(update.out.find(">>下载完毕"), std::string::npos) << update.out;
    EXPECT_EQ(readFile(dir + "/program/quillbox"), "#!/bin/sh\necho 1.31\n");

    // The same version again: the library comes down into the home directory.
    ASSERT_EQ(cli({"release", "site", dir + "/site", "--key", dir + "/release.key", "--version", "1.30", "--binary",
                   dir + "/quillbox-1.31"})
                  .status,
              0);
    update = cli({"update"});
    EXPECT_EQ(update.status, 0) << update.err;
    EXPECT_NE(update.out.find(">>暂无新版本 (1.30/1.30)"), std::string::npos) << update.out;
    EXPECT_NE(update.out.find(">>[lib]更新完成"), std::string::npos) << update.out;
    // The change log keeps both releases, newest first.
    const std::string log = readFile(dir + "/site/Quillbox/Quillbox_config_all.txt");
    EXPECT_LT(log.find("1.30\r\n"), log.find("1.31\r\n"));
    ::unsetenv("QUILLBOX_UPDATE_SERVER");
    ::unsetenv("QUILLBOX_UPDATE_PUBLIC_KEY");
}

// Every failed step of the library update is a failed command.
TEST(UpdateCli, AFailedLibraryUpdateIsExitStatusOne) {
    const std::string dir = freshDirectory("update-cli-lib");
    const ProcessResult keygen = cli({"release", "keygen", dir + "/release.key"});
    ASSERT_EQ(keygen.status, 0) << keygen.err;
    LoopbackHttpServer server(serveDirectory(dir + "/site"));
    ::setenv("QUILLBOX_UPDATE_SERVER", server.url("").c_str(), 1);
    ::setenv("QUILLBOX_UPDATE_PUBLIC_KEY", trimmed(keygen.out).c_str(), 1);
    const std::string home = std::getenv("QUILLBOX_HOME") ? std::getenv("QUILLBOX_HOME") : "";
    ::setenv("QUILLBOX_HOME", (dir + "/home").c_str(), 1);
    writeFile(dir + "/quillbox", "#!/bin/sh\n");
    auto publish = [&](const std::string& seq) {
        ASSERT_EQ(cli({"release", "site", dir + "/site", "--key", dir + "/release.key", "--version", "1.30",
                       "--binary", dir + "/quillbox", "--lib-seq", seq})
                      .status,
                  0);
    };
    publish("200");
    ProcessResult update = cli({"update"});
    EXPECT_EQ(update.status, 0) << update.out << update.err;
    EXPECT_NE(update.out.find(">>[lib]更新完成"), std::string::npos) << update.out;
    EXPECT_EQ(cli({"update"}).status, 0) << "current";

    struct Case {
        const char* name;
        std::function<void()> arrange;
        const char* line;
    };
    const std::vector<Case> cases = {
        {"an older index", [&] { publish("100"); }, "比本地的(序号200)旧"},
        {"an index without its signature",
         [&] {
             publish("300");
             std::filesystem::remove(dir + "/site/Quillbox/lib/lib.json.sig");
         },
         "请求[lib]更新服务器错误"},
        {"a file missing on the server",
         [&] {
             publish("300");
             std::filesystem::remove(dir + "/site/Quillbox/lib/md5.js");
         },
         "1个文件被拒绝"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        update = cli({"update"});
        EXPECT_EQ(update.status, 1) << update.out;
        EXPECT_NE(update.out.find(c.line), std::string::npos) << update.out;
        EXPECT_NE(update.err.find("module library was not updated"), std::string::npos) << update.err;
    }
    EXPECT_EQ(cli({"release", "site", dir + "/site", "--key", dir + "/release.key", "--version", "1.30", "--binary",
                   dir + "/quillbox", "--lib-seq", "x"})
                  .status,
              2);
    ::setenv("QUILLBOX_HOME", home.c_str(), 1);
    ::unsetenv("QUILLBOX_UPDATE_SERVER");
    ::unsetenv("QUILLBOX_UPDATE_PUBLIC_KEY");
}

TEST(UpdateCli, BadUsage) {
    EXPECT_EQ(cli({"update", "extra"}).status, 2);
    EXPECT_EQ(cli({"release"}).status, 2);
    EXPECT_EQ(cli({"release", "keygen"}).status, 2);
    EXPECT_EQ(cli({"release", "site", "out"}).status, 2);
    EXPECT_EQ(cli({"release", "publish"}).status, 2);
}

}  // namespace
