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
#include <tuple>

#include "core/json/JsonDocument.h"
#include "core/online/ReleaseSite.h"
#include "core/online/Signing.h"
#include "core/online/StarterLibrary.h"
#include "core/online/UpdateCheck.h"
#include "core/online/ProgramReplacement.h"
#include "core/online/ReleaseManifest.h"
#include "core/text/Text.h"
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
        ReleasePlan plan;
        plan.outputDirectory = site();
        plan.keyText = key_.secretKey;
        plan.version = version;
        plan.binaryPath = root_ + "/new-quillbox";
        plan.url = server_->url("/Quillbox/download/" + version + "/new-quillbox");
        plan.size = "1KB";
        plan.notes = std::move(notes);
        plan.libraryDirectory = libDir;
        std::string error;
        ASSERT_TRUE(writeReleaseSite(plan, &error)) << error;
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

TEST_F(UpdateCheckTest, ANewerVersionIsOfferedAndNoDownloadsNothing) {
    for (const std::string version : {"1.31", "1.100", "2"}) {
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
    std::string sameLength(kNewProgram);
    sameLength.replace(sameLength.find("new"), 3, "bad");
    auto endless = [] {
        LoopbackResponse r = LoopbackResponse::text(std::string(64 * 1024, 'x'));
        r.endless = true;
        r.framing = LoopbackResponse::Framing::CloseDelimited;
        return r;
    };
    const std::vector<std::pair<const char*, std::pair<LoopbackResponse, const char*>>> cases = {
        {"same length, other bytes", {LoopbackResponse::text(sameLength), "SHA-256与签名不符"}},
        {"404", {LoopbackResponse::text("not found", 404), "状态码 404"}},
        {"HTML error page",
         {LoopbackResponse::text("<html><body>502 Bad Gateway, and a long explanation of it</body></html>"),
          "大于签名中的大小"}},
        {"short page", {LoopbackResponse::text("<html>502</html>"), "与签名中的"}},
        {"cut half-way", {LoopbackResponse::cutShort(kNewProgram, 20), ""}},
        {"empty", {LoopbackResponse::text(""), "文件大小0与签名中的"}},
        {"endless", {endless(), "大于签名中的大小"}},
    };
    for (const auto& [name, answerAndWhy] : cases) {
        SCOPED_TRACE(name);
        fs::remove_all(site());
        overrides_.clear();
        log_.lines.clear();
        dialogs_.records.clear();
        closed_ = false;
        publish("1.31");
        answer(target, answerAndWhy.first);
        dialogs_.yesNoAnswers = {MessageAnswer::Yes};
        EXPECT_EQ(runUpdateCheck(context()), UpdateOutcome::Refused);
        EXPECT_EQ(test::readFile(program_), kOldProgram);
        EXPECT_TRUE(strayFiles().empty());
        EXPECT_FALSE(closed_);
        ASSERT_EQ(dialogs_.records.size(), 2u);
        EXPECT_EQ(dialogs_.records[1].text, kErrorBox);
        EXPECT_EQ(dialogs_.records[1].icon, MessageIcon::Error);
        const std::vector<std::string> lines = log_.texts();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().rfind(">>更新文件被拒绝: ", 0), 0u) << lines.back();
        EXPECT_NE(lines.back().find(answerAndWhy.second), std::string::npos) << lines.back();
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


// ---- what the signature binds ----

class UpdateTrustTest : public UpdateCheckTest {
protected:
    std::string versionFilePath() const { return site() + "/Quillbox/Quillbox_config.txt"; }

    // Rewrites the served version file through a change to its JSON.
    void editVersionFile(const std::function<void(JsonDocument&)>& edit) {
        JsonDocument doc;
        ASSERT_TRUE(doc.parse(text::fromGb18030(test::readFile(versionFilePath()))).ok);
        edit(doc);
        test::writeFile(versionFilePath(), text::toGb18030(doc.toJson("", true, true)));
    }
};

TEST(ReleaseVersions, CompareNumberByNumber) {
    const std::vector<std::tuple<const char*, const char*, int>> ordered = {
        {"1.30", "1.30", 0}, {"1.31", "1.30", 1}, {"1.29", "1.30", -1}, {"1.100", "1.30", 1},
        {"1.3", "1.30", -1}, {"1.03", "1.3", 0},  {"2", "1.99", 1},     {"1.30.1", "1.30", 1},
        {"1.30.0", "1.30", 0}, {"10.0", "9.99", 1}, {"123456789012345678901234567890", "1", 1},
    };
    for (const auto& [a, b, order] : ordered)
        EXPECT_EQ(compareVersions(a, b), std::optional<int>(order)) << a << " vs " << b;
    for (const char* bad : {"", "1..2", "1.", ".1", "1.30b", "v1.31", "1,31", " 1.31", "-1"})
        EXPECT_EQ(compareVersions(bad, "1.30"), std::nullopt) << bad;
}

// Only a signed, strictly newer release is offered; anything else the server may say is not
// taken on its word.
TEST_F(UpdateTrustTest, OnlyASignedNewerVersionIsOffered) {
    const ReleaseKey otherKey = generateReleaseKey();
    struct Case {
        const char* name;
        const char* published;
        std::function<void()> tamper;
        UpdateOutcome outcome;
        const char* line;  // a log line that must be there
    };
    const std::vector<Case> cases = {
        {"an older signed release replayed", "1.29", [] {}, UpdateOutcome::UpToDate,
         ">>服务器上的版本(1.29)比本程序(1.30)旧,不降级"},
        {"the unsigned version raised", "1.30",
         [&] { editVersionFile([](JsonDocument& d) { d.setMember("", "Ver", JsonDocument::makeString("9.99")); }); },
         UpdateOutcome::UpToDate, ">>暂无新版本 (1.30/1.30)"},
        {"signed by another key", "1.31",
         [&] {
             editVersionFile([&](JsonDocument& d) {
                 d.setMember("Update", "signature",
                             JsonDocument::makeString(signMessage(releaseSignedMessage(d.string("Update.signed")),
                                                                  otherKey.secretKey)));
             });
         },
         UpdateOutcome::ServerError, ">>版本文件签名无效"},
        {"the signed text changed", "1.31",
         [&] {
             editVersionFile([](JsonDocument& d) {
                 std::string text = d.string("Update.signed");
                 text.replace(text.find("1.31"), 4, "1.32");
                 d.setMember("Update", "signed", JsonDocument::makeString(text));
             });
         },
         UpdateOutcome::ServerError, ">>版本文件签名无效"},
        {"an old-style file without the signed part", "1.31",
         [&] {
             editVersionFile([](JsonDocument& d) {
                 d.removeMember("Update", "signed");
                 d.removeMember("Update", "signature");
             });
         },
         UpdateOutcome::ServerError, ">>版本文件没有签名"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(site());
        log_.lines.clear();
        dialogs_.records.clear();
        publish(c.published);
        c.tamper();
        dialogs_.yesNoAnswers = {MessageAnswer::Yes};
        EXPECT_EQ(runUpdateCheck(context()), c.outcome);
        EXPECT_TRUE(dialogs_.records.empty()) << "nothing is offered";
        EXPECT_FALSE(requestedAnyOf("/Quillbox/download/"));
        const std::vector<std::string> lines = log_.texts();
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.line), lines.end()) << ::testing::PrintToString(lines);
        EXPECT_EQ(test::readFile(program_), kOldProgram);
    }
}

TEST_F(UpdateTrustTest, TheQuestionTheSizeAndTheNotesComeFromTheSignedPart) {
    publish("1.31", {"真的"});
    editVersionFile([](JsonDocument& d) {
        JsonDocument notes = JsonDocument::makeArray();
        notes.append("", JsonDocument::makeString("请运行附带的工具"));
        d.setMember("Update", "data", notes);
        d.setMember("Update", "size", JsonDocument::makeString("1KB(放心)"));
        d.setMember("Update", "url", JsonDocument::makeString("http://127.0.0.1:1/evil"));
    });
    dialogs_.yesNoAnswers = {MessageAnswer::Yes};
    EXPECT_EQ(runUpdateCheck(context()), UpdateOutcome::Replaced);
    ASSERT_FALSE(dialogs_.records.empty());
    EXPECT_NE(dialogs_.records[0].text.find("///* 1.真的"), std::string::npos) << dialogs_.records[0].text;
    EXPECT_EQ(dialogs_.records[0].text.find("工具"), std::string::npos);
    const std::vector<std::string> lines = log_.texts();
    EXPECT_NE(std::find(lines.begin(), lines.end(), ">>文件大小 1KB"), lines.end());
    EXPECT_EQ(test::readFile(program_), kNewProgram);  // from the signed address
}

TEST_F(UpdateTrustTest, NotesWithQuotesBackslashesAndSlashesKeepTheVersionFileValid) {
    publish("1.31", {"say \"hi\"", "a\\b", "</script>"});
    EXPECT_EQ(runUpdateCheck(context()), UpdateOutcome::Declined);
    ASSERT_EQ(dialogs_.records.size(), 1u);
    EXPECT_NE(dialogs_.records[0].text.find("///* 1.say \"hi\"\r\n///* 2.a\\b\r\n///* 3.</script>\r\n"),
              std::string::npos)
        << dialogs_.records[0].text;
}

// ---- caps and deadlines ----

TEST_F(UpdateTrustTest, EndlessAnswersAreCutAtTheirCaps) {
    auto endless = [] {
        LoopbackResponse r = LoopbackResponse::text(std::string(64 * 1024, '{'));
        r.endless = true;
        r.framing = LoopbackResponse::Framing::Chunked;
        return r;
    };
    struct Case {
        const char* target;
        UpdateOutcome outcome;
        long long cap;
    };
    const Case cases[] = {
        {"/Quillbox/Quillbox_config.txt", UpdateOutcome::ServerError, kVersionFileCap},
        {"/Quillbox/lib/lib.json", UpdateOutcome::UpToDate, kLibraryIndexCap},
        {"/Quillbox/lib/lib.json.sig", UpdateOutcome::UpToDate, kLibrarySignatureCap},
        {"/Quillbox/lib/md5.js", UpdateOutcome::UpToDate, 0},  // its signed size
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        fs::remove_all(site());
        fs::remove_all(library());
        overrides_.clear();
        log_.lines.clear();
        publish("1.30");
        answer(c.target, endless());
        const long long sentBefore = server_->bodyBytesSent();
        LibraryUpdateResult result;
        EXPECT_EQ(runUpdateCheck(context(), &result), c.outcome);
        EXPECT_NE(result.outcome, LibraryOutcome::Updated);
        EXPECT_FALSE(fs::exists(library() + "/lib.json"));
        // The client stopped reading soon after the cap (socket buffers hold a few MB more).
        if (c.cap > 0) {
            EXPECT_LT(server_->bodyBytesSent() - sentBefore, c.cap + (64LL << 20));
        }
    }
}

TEST_F(UpdateTrustTest, ATricklingServerEndsAtTheDeadlineAndSaysSo) {
    auto trickle = [] {
        LoopbackResponse r = LoopbackResponse::text("{");
        r.endless = true;
        r.trickleMs = 100;
        r.framing = LoopbackResponse::Framing::CloseDelimited;
        return r;
    };
    publish("1.31");
    auto ctx = context();
    ctx.checkDeadline = std::chrono::milliseconds(1500);
    ctx.downloadDeadline = std::chrono::milliseconds(1500);

    answer("/Quillbox/Quillbox_config.txt", trickle());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(runUpdateCheck(ctx), UpdateOutcome::ServerError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    EXPECT_EQ(log_.texts(), std::vector<std::string>{">>请求更新服务器超时(2秒),可到群[246813579]内下载"});

    overrides_.clear();
    log_.lines.clear();
    answer("/Quillbox/download/1.31/new-quillbox", trickle());
    dialogs_.yesNoAnswers = {MessageAnswer::Yes};
    EXPECT_EQ(runUpdateCheck(ctx), UpdateOutcome::Refused);
    EXPECT_EQ(log_.texts().back(), ">>更新文件被拒绝: 下载超时(2秒)");
    EXPECT_EQ(test::readFile(program_), kOldProgram);
    EXPECT_TRUE(strayFiles().empty());
}

// ---- the library's sequence number ----

TEST_F(UpdateTrustTest, AnOlderLibraryIndexNeverReplacesANewerOne) {
    fs::create_directories(library());
    const std::string installed = "{\"ver\":\"lib-100\",\"seq\":100,\"data\":{\"MD5\":\"md5.js\"}}";
    struct Case {
        long long seq;
        LibraryOutcome outcome;
    };
    const Case cases[] = {
        {50, LibraryOutcome::Rollback},
        {100, LibraryOutcome::Current},
        {101, LibraryOutcome::Updated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seq);
        test::writeFile(library() + "/lib.json", installed);
        test::writeFile(library() + "/md5.js", "var installed = 1;");
        fs::remove_all(site());
        log_.lines.clear();
        ReleasePlan plan;
        plan.outputDirectory = site();
        plan.keyText = key_.secretKey;
        plan.version = "1.30";
        plan.binaryPath = root_ + "/new-quillbox";
        plan.librarySequence = c.seq;
        std::string error;
        ASSERT_TRUE(writeReleaseSite(plan, &error)) << error;
        const int before = server_->requestCount();
        LibraryUpdateResult result;
        EXPECT_EQ(runUpdateCheck(context(), &result), UpdateOutcome::UpToDate);
        EXPECT_EQ(result.outcome, c.outcome);
        if (c.outcome == LibraryOutcome::Updated) {
            EXPECT_NE(test::readFile(library() + "/md5.js"), "var installed = 1;");
            continue;
        }
        EXPECT_EQ(test::readFile(library() + "/lib.json"), installed);
        EXPECT_EQ(test::readFile(library() + "/md5.js"), "var installed = 1;");
        EXPECT_EQ(server_->requestCount() - before, 3) << "version file, index, signature";
        if (c.outcome == LibraryOutcome::Rollback) {
            EXPECT_EQ(log_.texts().back(), ">>[lib]服务器上的模块库(序号50)比本地的(序号100)旧,模块库未更新");
        }
        EXPECT_EQ(libraryUpdateFailed(c.outcome), c.outcome == LibraryOutcome::Rollback);
    }
}

}  // namespace
}  // namespace quillbox::online
