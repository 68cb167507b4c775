// The update check and library update against a release tree served on 127.0.0.1.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "core/json/JsonDocument.h"
#include "core/online/ReleaseSite.h"
#include "core/online/Signing.h"
#include "core/online/StarterLibrary.h"
#include "core/online/UpdateCheck.h"
#include "core/online/ProgramReplacement.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Output.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestSupport.h"

namespace quillbox::online {
namespace {

namespace fs = std::filesystem;
using test::LoopbackHttpServer;
using test::LoopbackRequest;
using test::LoopbackResponse;

constexpr const char* kOldProgram = "#!/bin/sh\n# old version\nexit 0\n";
// The new "program": a script that leaves a mark beside itself when started.
constexpr const char* kNewProgram = "#!/bin/sh\n# new version\necho started > \"$(dirname \"$0\")/started\"\n";
constexpr const char* kErrorBox = "更新文件时发生错误 (1.30/1.31) 可加入群:246813579下载";

class UpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = test::freshDirectory("update");
        key_ = generateReleaseKey();
        server_ = std::make_unique<LoopbackHttpServer>([this](const LoopbackRequest& request) {
            {
                std::lock_guard<std::mutex> lock(overridesMutex_);
                if (auto it = overrides_.find(request.target); it != overrides_.end())
                    return it->second;
            }
            return test::serveDirectory(site())(request);
        });
        programDirectory_ = root_ + "/program";
        fs::create_directories(programDirectory_);
        program_ = programDirectory_ + "/quillbox";
        test::writeFile(program_, kOldProgram);
        fs::permissions(program_, fs::perms(0755));
        test::writeFile(root_ + "/new-quillbox", kNewProgram);
    }

    void TearDown() override {
        fs::permissions(programDirectory_, fs::perms(0755));
    }

    std::string site() const { return root_ + "/site"; }
    std::string library() const { return root_ + "/home/lib"; }

    // The release tree for `version`, with the starter library or the one in libDir.
    void publish(const std::string& version, std::vector<std::string> notes = {"a", "b"},
                 const std::string& libDir = "") {
        ReleaseSpec spec;
        spec.outputDirectory = site();
        spec.keyText = key_.secretKey;
        spec.version = version;
        spec.binaryPath = root_ + "/new-quillbox";
        spec.url = server_->url("/Quillbox/download/" + version + "/new-quillbox");
        spec.size = "1KB";
        spec.notes = std::move(notes);
        spec.libraryDirectory = libDir;
        std::string error;
        ASSERT_TRUE(writeReleaseSite(spec, &error)) << error;
    }

    void answer(const std::string& target, LoopbackResponse response) {
        std::lock_guard<std::mutex> lock(overridesMutex_);
        overrides_[target] = std::move(response);
    }

    UpdateContext context() {
        UpdateContext c;
        c.log = &log_;
        c.dialogs = &dialogs_;
        c.server = server_->url("");
        c.publicKey = key_.publicKey;
        c.libraryDirectory = library();
        c.program = program_;
        c.version = "1.30";
        c.startProgram = startDetached;
        c.closeProgram = [this] { closed_ = true; };
        return c;
    }

    std::vector<std::string> requested() const {
        std::vector<std::string> targets;
        for (const LoopbackRequest& r : server_->requests())
            targets.push_back(r.target);
        return targets;
    }

    bool requestedAnyOf(const std::string& prefix) const {
        for (const std::string& target : requested())
            if (target.rfind(prefix, 0) == 0)
                return true;
        return false;
    }

    // Files in the program directory other than the program itself.
    std::vector<std::string> strayFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(programDirectory_))
            if (entry.path().filename() != "quillbox")
                names.push_back(entry.path().filename().string());
        return names;
    }

    std::string root_;
    ReleaseKey key_;
    std::unique_ptr<LoopbackHttpServer> server_;
    std::mutex overridesMutex_;
    std::map<std::string, LoopbackResponse> overrides_;
    std::string programDirectory_;
    std::string program_;
    RecordingOutput log_;
    ScriptedDialogs dialogs_;
    bool closed_ = false;
};

TEST_F(UpdateCheckTest, SameVersionLogsTheNotesAndDownloadsTheWholeLibrary) {
    publish("1.30");
    EXPECT_EQ(runUpdateCheck(context()), UpdateOutcome::UpToDate);
    EXPECT_EQ(log_.texts(), (std::vector<std::string>{">>最新版本更新内容:[\"a\",\"b\"]", ">>暂无新版本 (1.30/1.30)",
                                                      ">>[lib]更新完成,[旧]/\"starter-1.30\"[新]"}));
    for (const StarterModule& module : starterModules()) {
        EXPECT_TRUE(requestedAnyOf(std::string("/Quillbox/lib/") + module.fileName)) << module.fileName;
        EXPECT_EQ(test::readFile(library() + "/" + module.fileName),
                  test::readFile(site() + "/Quillbox/lib/" + module.fileName));
    }
    EXPECT_EQ(test::readFile(library() + "/lib.json"), test::readFile(site() + "/Quillbox/lib/lib.json"));
    EXPECT_TRUE(dialogs_.records.empty());
    EXPECT_EQ(test::readFile(program_), kOldProgram);
}

TEST_F(UpdateCheckTest, SameLibraryVersionRequestsNoLibraryFile) {
    publish("1.30");
    fs::create_directories(library());
    test::writeFile(library() + "/lib.json", "{\"ver\":\"starter-1.30\",\"data\":{}}");
    EXPECT_EQ(runUpdateCheck(context()), UpdateOutcome::UpToDate);
    EXPECT_EQ(log_.texts().size(), 2u);
    for (const std::string& target : requested())
        EXPECT_TRUE(target == "/Quillbox/Quillbox_config.txt" || target.rfind("/Quillbox/lib/lib.json", 0) == 0)
            << target;
}

TEST_F(UpdateCheckTest, OlderAndNewerVersionsAreBothOfferedAndNoDownloadsNothing) {
    for (const std::string version : {"1.29", "1.31"}) {
        SCOPED_TRACE(version);
        fs::remove_all(site());
        publish(version);
        dialogs_.records.clear();
        EXPECT_EQ(runUpdateCheck(context()), UpdateOutcome::Declined);
        ASSERT_EQ(dialogs_.records.size(), 1u);
        EXPECT_EQ(dialogs_.records[0].text, "检测到新版本 (1.30[旧]/" + version +
                                                "[新])\r\n==============\r\n更新内容:\r\n///* 1.a\r\n///* 2.b\r\n\r\n"
                                                "==============\r\n是否更新?");
        EXPECT_EQ(dialogs_.records[0].title, "提醒");
        EXPECT_EQ(dialogs_.records[0].buttons, MessageButtons::YesNo);
    }
    EXPECT_FALSE(requestedAnyOf("/Quillbox/download/"));
    EXPECT_FALSE(requestedAnyOf("/Quillbox/lib/"));
    EXPECT_TRUE(log_.lines.empty());
    EXPECT_EQ(test::readFile(program_), kOldProgram);
}

TEST_F(UpdateCheckTest, NoNotesLeaveAnEmptyNotesPart) {
    publish("1.31", {});
    runUpdateCheck(context());
    ASSERT_EQ(dialogs_.records.size(), 1u);
    EXPECT_NE(dialogs_.records[0].text.find("更新内容:\r\n\r\n=============="), std::string::npos);
}

TEST_F(UpdateCheckTest, YesReplacesTheProgramWithTheExactNewBytesAndStartsIt) {
    publish("1.31");
    dialogs_.yesNoAnswers = {MessageAnswer::Yes};
    EXPECT_EQ(runUpdateCheck(context()), UpdateOutcome::Replaced);
    EXPECT_EQ(test::readFile(program_), kNewProgram);
    EXPECT_TRUE(fs::status(program_).permissions() == fs::perms(0755) ||
                (fs::status(program_).permissions() & fs::perms::owner_exec) != fs::perms::none);
    EXPECT_EQ(log_.texts(), (std::vector<std::string>{">>正在更新中,请勿操作界面=。=", ">>需要点时间", ">>文件大小 1KB",
                                                      ">>下载完毕"}));
    EXPECT_TRUE(closed_);
    // The started program leaves its mark; wait for it without a time-based assertion.
    for (int i = 0; i < 600 && !fs::exists(programDirectory_ + "/started"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(fs::exists(programDirectory_ + "/started"));
    EXPECT_FALSE(requestedAnyOf("/Quillbox/lib/"));
}

// Every bad download is refused: the old program stays byte for byte, nothing is started,
// nothing is left in the program directory, and the user sees the error box.
TEST_F(UpdateCheckTest, BadDownloadsLeaveTheOldProgramAndStartNothing) {
    const std::string target = "/Quillbox/download/1.31/new-quillbox";
    const ReleaseKey otherKey = generateReleaseKey();
    struct Case {
        const char* name;
        std::function<void()> arrange;
        const char* why;
    };
    const std::vector<Case> cases = {
        // Signed by a key the program does not hold.
        {"bad signature", [] {}, "签名无效"},
        {"wrong digest", [&] { answer(target, LoopbackResponse::text("#!/bin/sh\n# tampered\n")); }, "SHA-256"},
        {"404", [&] { answer(target, LoopbackResponse::text("not found", 404)); }, "状态码 404"},
        {"HTML error page",
         [&] { answer(target, LoopbackResponse::text("<html><body>502 Bad Gateway</body></html>")); }, "SHA-256"},
        {"cut half-way", [&] { answer(target, LoopbackResponse::cutShort(kNewProgram, 20)); }, ""},
        {"empty", [&] { answer(target, LoopbackResponse::text("")); }, "内容为空"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(site());
        overrides_.clear();
        log_.lines.clear();
        dialogs_.records.clear();
        closed_ = false;
        publish("1.31");
        c.arrange();
        dialogs_.yesNoAnswers = {MessageAnswer::Yes};
        auto ctx = context();
        if (std::string(c.name) == "bad signature")
            ctx.publicKey = otherKey.publicKey;
        EXPECT_EQ(runUpdateCheck(ctx), UpdateOutcome::Refused);
        EXPECT_EQ(test::readFile(program_), kOldProgram);
        EXPECT_TRUE(strayFiles().empty());
        EXPECT_FALSE(closed_);
        ASSERT_EQ(dialogs_.records.size(), 2u);
        EXPECT_EQ(dialogs_.records[1].text, kErrorBox);
        EXPECT_EQ(dialogs_.records[1].icon, MessageIcon::Error);
        const std::vector<std::string> lines = log_.texts();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().rfind(">>更新文件被拒绝: ", 0), 0u) << lines.back();
        EXPECT_NE(lines.back().find(c.why), std::string::npos) << lines.back();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), ">>下载完毕"), 0);
    }
}

TEST_F(UpdateCheckTest, ReadOnlyProgramDirectoryDownloadsNothing) {
    publish("1.31");
    fs::permissions(programDirectory_, fs::perms(0555));
    dialogs_.yesNoAnswers = {MessageAnswer::Yes};
    EXPECT_EQ(runUpdateCheck(context()), UpdateOutcome::NotReplaceable);
    EXPECT_FALSE(requestedAnyOf("/Quillbox/download/"));
    ASSERT_EQ(log_.texts().size(), 1u);
    EXPECT_NE(log_.texts()[0].find("软件包管理器"), std::string::npos);
    EXPECT_EQ(test::readFile(program_), kOldProgram);
}

TEST_F(UpdateCheckTest, ServerFailuresLogOneLine) {
    const std::vector<std::pair<const char*, LoopbackResponse>> answers = {
        {"404", LoopbackResponse::text("missing", 404)},
        {"empty", LoopbackResponse::text("")},
        {"not JSON", LoopbackResponse::text("<html>maintenance</html>")},
    };
    for (const auto& [name, response] : answers) {
        SCOPED_TRACE(name);
        log_.lines.clear();
        answer("/Quillbox/Quillbox_config.txt", response);
        EXPECT_EQ(runUpdateCheck(context()), UpdateOutcome::ServerError);
        EXPECT_EQ(log_.texts(), std::vector<std::string>{">>请求更新服务器错误，可到群[246813579]内下载"});
    }
    test::RefusingLoopbackPort refusing;
    auto ctx = context();
    ctx.server = refusing.url("");
    log_.lines.clear();
    EXPECT_EQ(runUpdateCheck(ctx), UpdateOutcome::ServerError);
    EXPECT_EQ(log_.texts().size(), 1u);
}

class LibraryUpdateTest : public UpdateCheckTest {
protected:
    // A local library of an older version holding a good md5.js.
    void SetUp() override {
        UpdateCheckTest::SetUp();
        fs::create_directories(library());
        test::writeFile(library() + "/lib.json", "{\"ver\":\"0.9\",\"data\":{\"MD5\":\"md5.js\"}}");
        test::writeFile(library() + "/md5.js", "var good = 1;");
        publish("1.30");
    }
};

TEST_F(LibraryUpdateTest, RefusedFilesKeepTheGoodLocalFileAndTheOldIndex) {
    const std::vector<std::pair<const char*, LoopbackResponse>> answers = {
        {"404", LoopbackResponse::text("not found", 404)},
        {"empty", LoopbackResponse::text("")},
        {"wrong digest", LoopbackResponse::text("var evil = 1;")},
    };
    for (const auto& [name, response] : answers) {
        SCOPED_TRACE(name);
        log_.lines.clear();
        answer("/Quillbox/lib/md5.js", response);
        EXPECT_EQ(runUpdateCheck(context()), UpdateOutcome::UpToDate);
        EXPECT_EQ(test::readFile(library() + "/md5.js"), "var good = 1;");
        EXPECT_EQ(test::readFile(library() + "/lib.json"), "{\"ver\":\"0.9\",\"data\":{\"MD5\":\"md5.js\"}}");
        EXPECT_EQ(log_.texts().back(), ">>[lib]更新未完成,\"0.9\"[旧]/\"starter-1.30\"[新],1个文件被拒绝");
    }
}

TEST_F(LibraryUpdateTest, AnIndexWithoutAValidSignatureChangesNothing) {
    const std::vector<std::pair<const char*, LoopbackResponse>> answers = {
        {"missing", LoopbackResponse::text("not found", 404)},
        {"another key", LoopbackResponse::text(signMessage(test::readFile(site() + "/Quillbox/lib/lib.json"),
                                                           generateReleaseKey().secretKey))},
    };
    for (const auto& [name, response] : answers) {
        SCOPED_TRACE(name);
        log_.lines.clear();
        answer("/Quillbox/lib/lib.json.sig", response);
        EXPECT_EQ(runUpdateCheck(context()), UpdateOutcome::UpToDate);
        EXPECT_EQ(test::readFile(library() + "/md5.js"), "var good = 1;");
        EXPECT_FALSE(requestedAnyOf("/Quillbox/lib/md5.js"));
        EXPECT_EQ(log_.texts()[2], ">>请求[lib]更新服务器错误，可到群[246813579]内下载");
    }
}

TEST_F(LibraryUpdateTest, FileNamesThatLeaveTheDirectoryAreRefused) {
    const std::string lib = root_ + "/evil-lib";
    fs::create_directories(lib);
    test::writeFile(lib + "/lib.json", "{\"ver\":\"2\",\"data\":{\"ok\":\"ok.js\"}}");
    test::writeFile(lib + "/ok.js", "var ok;");
    fs::remove_all(site());
    publish("1.30", {}, lib);
    // The served index is re-signed after naming a file outside the library.
    std::string index = test::readFile(site() + "/Quillbox/lib/lib.json");
    const std::string evil = "\"../../escaped.js\"";
    index.replace(index.find("\"ok.js\""), 7, evil);
    index.replace(index.find("\"ok.js\""), 7, evil);
    test::writeFile(site() + "/Quillbox/lib/lib.json", index);
    test::writeFile(site() + "/Quillbox/lib/lib.json.sig", signMessage(index, key_.secretKey));
    EXPECT_EQ(runUpdateCheck(context()), UpdateOutcome::UpToDate);
    EXPECT_FALSE(fs::exists(root_ + "/escaped.js"));
    EXPECT_FALSE(fs::exists(root_ + "/home/escaped.js"));
    EXPECT_EQ(log_.texts().back(), ">>[lib]更新未完成,\"0.9\"[旧]/\"2\"[新],1个文件被拒绝");
}

}  // namespace
}  // namespace quillbox::online
