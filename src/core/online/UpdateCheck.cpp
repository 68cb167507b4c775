#include "core/online/UpdateCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <system_error>

#include "core/json/JsonDocument.h"
#include "core/net/HttpClient.h"
#include "core/online/ProgramReplacement.h"
#include "core/online/ReleaseManifest.h"
#include "core/online/Signing.h"
#include "core/online/UpdateServer.h"
#include "core/platform/FileIO.h"
#include "core/platform/Paths.h"
#include "core/text/Text.h"
#include "core/platform/FsPath.h"

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

using Clock = std::chrono::steady_clock;

// GET url; the answer when it came with status 200 and a body, else nothing and why.
struct Answer {
    bool ok = false;
    bool timedOut = false;
    std::string bytes;
    std::string why;
};

// At most `cap` body bytes, ended at `deadline`. With `file` >= 0 the body goes there.
Answer fetch(net::HttpClient& http, const std::string& url, long long cap, Clock::time_point deadline,
             int file = -1) {
    Answer answer;
    const long long leftMs = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (leftMs <= 0) {
        answer.timedOut = true;
        answer.why = "超时";
        return answer;
    }
    if (!http.open("GET", url)) {
        answer.why = "地址无效: " + url;
        return answer;
    }
    http.setMaxResponseBytes(cap);
    http.setOverallTimeout(static_cast<int>(std::min<long long>(leftMs, 1LL << 30)));
    http.setResponseFile(file);
    const bool sent = http.send();
    http.setResponseFile(-1);
    if (!sent) {
        answer.timedOut = http.lastError() == net::HttpError::Timeout;
        answer.why = answer.timedOut ? "超时" : http.lastErrorText().empty() ? "连接失败" : http.lastErrorText();
        return answer;
    }
    if (http.statusCode() != 200) {
        answer.why = "状态码 " + std::to_string(http.statusCode());
        return answer;
    }
    answer.bytes = http.responseBytes();
    if (answer.bytes.empty() && file < 0) {
        answer.why = "内容为空";
        return answer;
    }
    answer.ok = true;
    return answer;
}

// A JSON answer: read as code page 936 text and parsed into doc.
Answer fetchJson(net::HttpClient& http, const std::string& url, long long cap, Clock::time_point deadline,
                 JsonDocument& doc) {
    Answer answer = fetch(http, url, cap, deadline);
    if (!answer.ok)
        return answer;
    const std::string text = text::fromGb18030(answer.bytes);
    if (text.empty() || !doc.parse(text).ok) {
        answer.ok = false;
        answer.why = "不是JSON";
    }
    return answer;
}

std::string seconds(std::chrono::milliseconds ms) { return std::to_string((ms.count() + 999) / 1000); }

UpdateOutcome refuse(const UpdateContext& context, const std::string& version, const std::string& why) {
    log(context, "更新文件被拒绝: " + why);
    context.dialogs->messageBox(format("更新文件时发生错误 (%s/%s) 可加入群:246813579下载", {context.version, version}),
                                kTitle, MessageIcon::Error, MessageButtons::Ok);
    return UpdateOutcome::Refused;
}

// Downloads the release into a temporary file beside the program, checks its size and
// digest against the signed ones, and puts it in place.
UpdateOutcome download(const UpdateContext& context, net::HttpClient& http, const SignedRelease& release) {
    const std::filesystem::path program = files::fsPath(context.program);
    const std::filesystem::path directory = program.has_parent_path() ? program.parent_path() : ".";
    std::string temp = files::utf8Path(directory / ".quillbox-download.XXXXXX");
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return refuse(context, release.version, "无法写入程序目录: " + std::string(std::strerror(errno)));
    auto discard = [&](const std::string& why) {
        ::close(fd);
        ::unlink(temp.c_str());
        return refuse(context, release.version, why);
    };
    const Answer answer = fetch(http, release.url, release.bytes, Clock::now() + context.downloadDeadline, fd);
    if (!answer.ok) {
        if (http.lastError() == net::HttpError::TooLarge)
            return discard("文件大于签名中的大小(" + std::to_string(release.bytes) + "字节)");
        return discard(answer.timedOut ? "下载超时(" + seconds(context.downloadDeadline) + "秒)" : answer.why);
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || status.st_size != release.bytes)
        return discard("文件大小" + std::to_string(status.st_size) + "与签名中的" + std::to_string(release.bytes) + "不符");
    const std::optional<std::string> digest = sha256HexOfFile(fd);
    if (!digest || *digest != release.sha256)
        return discard("SHA-256与签名不符");
    log(context, "下载完毕");
    std::string error;
    if (!installDownload(context.program, temp, fd, &error))
        return refuse(context, release.version, "无法写入程序文件: " + error);
    return UpdateOutcome::Replaced;
}

UpdateOutcome offerNewVersion(const UpdateContext& context, net::HttpClient& http, const SignedRelease& release) {
    const std::string question =
        format("检测到新版本 (%s[旧]/%s[新])%n==============%n更新内容:%n%s%n==============%n是否更新?",
               {context.version, release.version, formatUpdateNotes(release.notes)});
    if (context.dialogs->messageBox(question, kTitle, MessageIcon::Question, MessageButtons::YesNo) !=
        MessageAnswer::Yes)
        return UpdateOutcome::Declined;

    if (!canReplaceProgram(context.program)) {
        log(context, "程序目录不可写(" + context.program + "),请通过系统的软件包管理器更新");
        return UpdateOutcome::NotReplaceable;
    }
    if (release.bytes > kProgramCap)
        return refuse(context, release.version, "文件过大(" + std::to_string(release.bytes) + "字节)");
    log(context, "正在更新中,请勿操作界面=。=");
    log(context, "需要点时间");
    log(context, "文件大小 " + release.sizeText);

    const UpdateOutcome outcome = download(context, http, release);
    if (outcome != UpdateOutcome::Replaced)
        return outcome;
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

// The index's sequence number: a non-negative integer, 0 when it has none.
std::int64_t sequenceOf(const JsonDocument& index) { return wholeNumber(index, "seq").value_or(0); }

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

UpdateOutcome runUpdateCheck(const UpdateContext& context, LibraryUpdateResult* library) {
    const Clock::time_point deadline = Clock::now() + context.checkDeadline;
    net::HttpClient http(net::HttpTransport::WinHttp);
    http.setAutoHeaders(true);
    JsonDocument versionFile;
    const Answer answer =
        fetchJson(http, context.server + std::string(kVersionFilePath), kVersionFileCap, deadline, versionFile);
    if (!answer.ok) {
        log(context, answer.timedOut ? "请求更新服务器超时(" + seconds(context.checkDeadline) + "秒),可到群[246813579]内下载"
                                     : std::string(kServerError));
        return UpdateOutcome::ServerError;
    }
    std::string why;
    const std::optional<SignedRelease> release = verifiedRelease(versionFile, context.publicKey, &why);
    if (!release) {
        log(context, kServerError);
        log(context, why);
        return UpdateOutcome::ServerError;
    }
    const std::optional<int> order = compareVersions(release->version, context.version);
    if (!order) {
        log(context, kServerError);
        log(context, "版本号无法比较: " + release->version);
        return UpdateOutcome::ServerError;
    }
    if (*order > 0)
        return offerNewVersion(context, http, *release);

    if (*order < 0) {
        // A signed older release replayed (or a server behind): never a downgrade.
        log(context, format("服务器上的版本(%s)比本程序(%s)旧,不降级", {release->version, context.version}));
    } else {
        JsonDocument notes = JsonDocument::makeArray();
        for (const std::string& note : release->notes)
            notes.append("", JsonDocument::makeString(note));
        log(context, "最新版本更新内容:" + notes.toJson(""));
        log(context, format("暂无新版本 (%s/%s)", {context.version, release->version}));
    }
    const LibraryUpdateResult result = runLibraryUpdate(context, http, deadline);
    if (library)
        *library = result;
    return UpdateOutcome::UpToDate;
}

bool libraryUpdateFailed(LibraryOutcome outcome) {
    return outcome == LibraryOutcome::ServerError || outcome == LibraryOutcome::Incomplete ||
           outcome == LibraryOutcome::Rollback;
}

LibraryUpdateResult runLibraryUpdate(const UpdateContext& context, net::HttpClient& http, Clock::time_point deadline) {
    LibraryUpdateResult result;
    result.outcome = LibraryOutcome::ServerError;
    JsonDocument server;
    const std::string indexUrl = context.server + std::string(kLibraryIndexPath);
    const Answer index = fetchJson(http, indexUrl, kLibraryIndexCap, deadline, server);
    if (!index.ok) {
        log(context, kLibraryServerError);
        if (index.timedOut)
            log(context, "[lib]请求超时(" + seconds(context.checkDeadline) + "秒内未完成),模块库未更新");
        return result;
    }
    const std::string& indexBytes = index.bytes;
    const Answer signature = fetch(http, indexUrl + ".sig", kLibrarySignatureCap, deadline);
    if (!signature.ok || !verifyMessage(indexBytes, signature.bytes, context.publicKey)) {
        log(context, kLibraryServerError);
        log(context, signature.timedOut ? "[lib]请求超时,模块库未更新" : "[lib]索引签名无效,模块库未更新");
        return result;
    }

    const std::string indexPath = paths::join(context.libraryDirectory, "lib.json");
    JsonDocument local;
    std::string localBytes;
    std::string localVersion;
    if (files::readAll(indexPath, localBytes) && local.parse(text::decodeFileText(localBytes)).ok) {
        localVersion = local.toJson("ver");
        const std::int64_t localSequence = sequenceOf(local);
        const std::int64_t serverSequence = sequenceOf(server);
        if (localSequence > 0 && serverSequence < localSequence) {
            // An older signed index replayed: the installed library stays as it is.
            log(context, format("[lib]服务器上的模块库(序号%s)比本地的(序号%s)旧,模块库未更新",
                                {std::to_string(serverSequence), std::to_string(localSequence)}));
            result.outcome = LibraryOutcome::Rollback;
            return result;
        }
        // With a sequence number installed, it alone decides; without, the version text does.
        if (localSequence > 0 ? serverSequence == localSequence : localVersion == server.toJson("ver")) {
            result.outcome = LibraryOutcome::Current;
            return result;
        }
    }

    std::error_code ignored;
    std::filesystem::create_directories(files::fsPath(context.libraryDirectory), ignored);
    const JsonDocument data = server.node("data");
    const JsonDocument digests = server.node("sha256");
    const JsonDocument sizes = server.node("bytes");
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
        // The signed size when the index gives one, else the general cap.
        const std::optional<long long> size = wholeNumber(sizes.member("", file), "");
        const long long cap = size ? std::min<long long>(*size, kLibraryFileCap) : kLibraryFileCap;
        const Answer answer = fetch(http, context.server + std::string(kLibraryFilesPath) + file, cap, deadline);
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
