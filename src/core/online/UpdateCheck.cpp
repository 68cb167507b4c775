#include "core/online/UpdateCheck.h"

#include <filesystem>
#include <initializer_list>
#include <system_error>

#include "core/json/JsonDocument.h"
#include "core/net/HttpClient.h"
#include "core/online/ProgramReplacement.h"
#include "core/online/Signing.h"
#include "core/online/UpdateServer.h"
#include "core/platform/FileIO.h"
#include "core/platform/Paths.h"
#include "core/text/Text.h"

namespace quillbox::online {
namespace {

constexpr const char* kTitle = "提醒";
constexpr const char* kServerError = "请求更新服务器错误，可到群[246813579]内下载";
constexpr const char* kLibraryServerError = "请求[lib]更新服务器错误，可到群[246813579]内下载";

// The message format: "%s" takes the next argument, "%n" is CR LF.
std::string format(std::string_view pattern, std::initializer_list<std::string_view> arguments) {
    std::string out;
    auto next = arguments.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
            if (next != arguments.end())
                out.append(*next++);
            ++i;
        } else if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 'n') {
            out.append("\r\n");
            ++i;
        } else {
            out.push_back(pattern[i]);
        }
    }
    return out;
}

void log(const UpdateContext& context, const std::string& line) {
    if (context.log)
        context.log->messageLine(line);
}

// GET url; the answer when it came with status 200 and a body, else nothing and why.
struct Answer {
    bool ok = false;
    std::string bytes;
    std::string why;
};

Answer fetch(net::HttpClient& http, const std::string& url) {
    Answer answer;
    if (!http.open("GET", url)) {
        answer.why = "地址无效: " + url;
        return answer;
    }
    if (!http.send()) {
        answer.why = http.lastErrorText().empty() ? "连接失败" : http.lastErrorText();
        return answer;
    }
    if (http.statusCode() != 200) {
        answer.why = "状态码 " + std::to_string(http.statusCode());
        return answer;
    }
    answer.bytes = http.responseBytes();
    if (answer.bytes.empty()) {
        answer.why = "内容为空";
        return answer;
    }
    answer.ok = true;
    return answer;
}

// A JSON answer: read as code page 936 text and parsed into doc.
bool fetchJson(net::HttpClient& http, const std::string& url, JsonDocument& doc, std::string* bytes = nullptr) {
    const Answer answer = fetch(http, url);
    if (!answer.ok)
        return false;
    const std::string text = text::fromGb18030(answer.bytes);
    if (text.empty() || !doc.parse(text).ok)
        return false;
    if (bytes)
        *bytes = answer.bytes;
    return true;
}

// The reason a downloaded program is refused, or "" when it may be installed.
std::string refusalOf(const UpdateContext& context, const JsonDocument& versionFile, const std::string& version,
                      const std::string& bytes) {
    if (sha256Hex(bytes) != versionFile.string("Update.sha256"))
        return "SHA-256与版本文件不符";
    if (context.publicKey.empty())
        return "程序没有发布公钥,无法验证签名";
    if (!verifyMessage(updateSignedMessage(version, bytes), versionFile.string("Update.sig"), context.publicKey))
        return "签名无效";
    return {};
}

UpdateOutcome refuse(const UpdateContext& context, const std::string& version, const std::string& why) {
    log(context, "更新文件被拒绝: " + why);
    context.dialogs->messageBox(format("更新文件时发生错误 (%s/%s) 可加入群:246813579下载", {context.version, version}),
                                kTitle, MessageIcon::Error, MessageButtons::Ok);
    return UpdateOutcome::Refused;
}

UpdateOutcome offerNewVersion(const UpdateContext& context, net::HttpClient& http, const JsonDocument& versionFile) {
    const std::string version = versionFile.string("Ver");
    const std::string url = versionFile.string("Update.url");
    const std::string size = versionFile.string("Update.size");
    std::vector<std::string> notes;
    for (std::size_t i = 0, n = versionFile.count("Update.data"); i < n; ++i)
        notes.push_back(versionFile.string("Update.data[" + std::to_string(i) + "]"));

    const std::string question =
        format("检测到新版本 (%s[旧]/%s[新])%n==============%n更新内容:%n%s%n==============%n是否更新?",
               {context.version, version, formatUpdateNotes(notes)});
    if (context.dialogs->messageBox(question, kTitle, MessageIcon::Question, MessageButtons::YesNo) !=
        MessageAnswer::Yes)
        return UpdateOutcome::Declined;

    if (!canReplaceProgram(context.program)) {
        log(context, "程序目录不可写(" + context.program + "),请通过系统的软件包管理器更新");
        return UpdateOutcome::NotReplaceable;
    }
    log(context, "正在更新中,请勿操作界面=。=");
    log(context, "需要点时间");
    log(context, "文件大小 " + size);

    const Answer download = fetch(http, url);
    if (!download.ok)
        return refuse(context, version, download.why);
    if (const std::string why = refusalOf(context, versionFile, version, download.bytes); !why.empty())
        return refuse(context, version, why);
    log(context, "下载完毕");

    std::string error;
    if (!replaceProgram(context.program, download.bytes, &error))
        return refuse(context, version, "无法写入程序文件: " + error);
    if (context.startProgram && !context.startProgram(context.program)) {
        log(context, "新版本已就位,但无法启动: " + context.program);
        return UpdateOutcome::Replaced;
    }
    if (context.closeProgram)
        context.closeProgram();
    return UpdateOutcome::Replaced;
}

// A library file name the index may use: a plain name inside the directory.
bool safeLibraryFileName(const std::string& name) {
    return !name.empty() && name.front() != '.' && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos && name != "lib.json";
}

}  // namespace

std::string formatUpdateNotes(const std::vector<std::string>& notes) {
    std::string out;
    for (std::size_t i = 0; i < notes.size(); ++i)
        out += format("///* %s.", {std::to_string(i + 1)}) + notes[i] + "\r\n";
    return out;
}

UpdateContext defaultUpdateContext(Output& log, Dialogs& dialogs) {
    UpdateContext context;
    context.log = &log;
    context.dialogs = &dialogs;
    context.server = updateServer();
    context.publicKey = releasePublicKey();
    context.libraryDirectory = paths::join(paths::homeDirectory(), "lib");
    context.program = installedProgramPath();
    context.version = std::string(kProgramVersion);
    context.startProgram = startDetached;
    return context;
}

void sendUsageCount(const std::string& server) {
    net::HttpClient http(net::HttpTransport::RequestObject);
    if (http.open("GET", server + std::string(kUsageCountPath)))
        http.send();
}

UpdateOutcome runUpdateCheck(const UpdateContext& context) {
    net::HttpClient http(net::HttpTransport::WinHttp);
    http.setAutoHeaders(true);
    JsonDocument versionFile;
    if (!fetchJson(http, context.server + std::string(kVersionFilePath), versionFile)) {
        log(context, kServerError);
        return UpdateOutcome::ServerError;
    }
    const std::string version = versionFile.string("Ver");
    if (version != context.version)
        return offerNewVersion(context, http, versionFile);

    log(context, "最新版本更新内容:" + versionFile.toJson("Update.data"));
    log(context, format("暂无新版本 (%s/%s)", {context.version, version}));
    runLibraryUpdate(context, http);
    return UpdateOutcome::UpToDate;
}

LibraryUpdateResult runLibraryUpdate(const UpdateContext& context, net::HttpClient& http) {
    LibraryUpdateResult result;
    JsonDocument server;
    std::string indexBytes;
    if (!fetchJson(http, context.server + std::string(kLibraryIndexPath), server, &indexBytes)) {
        log(context, kLibraryServerError);
        return result;
    }
    const Answer signature = fetch(http, context.server + std::string(kLibraryIndexPath) + ".sig");
    if (!signature.ok || !verifyMessage(indexBytes, signature.bytes, context.publicKey)) {
        log(context, kLibraryServerError);
        log(context, "[lib]索引签名无效,模块库未更新");
        return result;
    }

    const std::string indexPath = paths::join(context.libraryDirectory, "lib.json");
    JsonDocument local;
    std::string localBytes;
    std::string localVersion;
    if (files::readAll(indexPath, localBytes) && local.parse(text::decodeFileText(localBytes)).ok) {
        localVersion = local.toJson("ver");
        if (localVersion == server.toJson("ver")) {
            result.outcome = LibraryOutcome::Current;
            return result;
        }
    }

    std::error_code ignored;
    std::filesystem::create_directories(context.libraryDirectory, ignored);
    const JsonDocument data = server.node("data");
    const JsonDocument digests = server.node("sha256");
    std::vector<std::string> names;
    data.memberNames("", names);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string file = data.at("", i).string();
        const std::string digest = digests.member("", file).string();
        if (!safeLibraryFileName(file) || digest.empty()) {
            ++result.refused;
            log(context, "[lib]拒绝文件[" + file + "]: 名称无效或索引中没有摘要");
            continue;
        }
        const Answer answer = fetch(http, context.server + std::string(kLibraryFilesPath) + file);
        std::string why = answer.why;
        if (answer.ok && sha256Hex(answer.bytes) != digest)
            why = "SHA-256不符";
        std::string error;
        if (why.empty() && !files::writeAtomically(paths::join(context.libraryDirectory, file), answer.bytes, &error))
            why = error;
        if (!why.empty()) {
            ++result.refused;
            log(context, "[lib]拒绝文件[" + file + "]: " + why + ",保留本地文件");
            continue;
        }
        ++result.written;
    }

    const std::string serverVersion = server.toJson("ver");
    std::string error;
    if (result.refused == 0 && !files::writeAtomically(indexPath, indexBytes, &error)) {
        log(context, "[lib]无法写入索引: " + error);
        ++result.refused;
    }
    if (result.refused > 0) {
        // The old index stays, so the next check tries the refused files again.
        log(context, format("[lib]更新未完成,%s[旧]/%s[新],%s个文件被拒绝", {localVersion, serverVersion,
                                                                              std::to_string(result.refused)}));
        result.outcome = LibraryOutcome::Incomplete;
        return result;
    }
    log(context, format("[lib]更新完成,%s[旧]/%s[新]", {localVersion, serverVersion}));
    result.outcome = LibraryOutcome::Updated;
    return result;
}

}  // namespace quillbox::online
