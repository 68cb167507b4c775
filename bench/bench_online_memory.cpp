// Peak memory of the online paths against servers that never stop sending: the update
// check's version file, the new program's download, the library index and a script's
// $$.ajax. Each case runs in a child process of its own and its peak resident size is read
// with wait4; the peer, measured in the same run, is the same child doing a good 4 MiB
// download. Goal: every endless case under 200 MB.
//
//     build/bench/bench_online_memory
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "core/engine/ChakraCore.h"
#include "core/net/HttpClient.h"
#include "core/online/ReleaseSite.h"
#include "core/online/Signing.h"
#include "core/online/UpdateCheck.h"
#include "core/platform/Dialogs.h"
#include "core/platform/FileIO.h"
#include "core/platform/Output.h"

namespace fs = std::filesystem;
using namespace quillbox;

namespace {

// A loopback server: GET of a path under `root` answers the file; "/endless" and anything
// in `endlessPaths` answer 64 KiB pieces without end; "/good" answers 4 MiB.
class Server {
public:
    Server(std::string root, std::vector<std::string> endlessPaths)
        : root_(std::move(root)), endless_(std::move(endlessPaths)) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd_, 16);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { acceptLoop(); });
    }
    ~Server() {
        stop_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        thread_.join();
    }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    void acceptLoop() {
        while (!stop_) {
            const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                return;
            std::thread([this, client] { serve(client); }).detach();
        }
    }
    static bool writeAll(int fd, const std::string& bytes) {
        for (std::size_t at = 0; at < bytes.size();) {
            const ssize_t n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            at += static_cast<std::size_t>(n);
        }
        return true;
    }
    void serve(int client) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) {
                ::close(client);
                return;
            }
            request.append(buffer, static_cast<std::size_t>(n));
        }
        const std::size_t space = request.find(' ');
        const std::string path = request.substr(space + 1, request.find(' ', space + 1) - space - 1);
        bool endless = path.rfind("/endless", 0) == 0;
        for (const std::string& p : endless_)
            endless |= path == p;
        if (endless) {
            const std::string piece(64 * 1024, '[');
            if (writeAll(client, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"))
                while (!stop_ && writeAll(client, piece)) {
                }
        } else {
            std::string body;
            int status = 200;
            if (path == "/good")
                body.assign(4 << 20, 'g');
            else if (!files::readAll(root_ + path, body))
                status = 404;
            writeAll(client, "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: " +
                                 std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        }
        ::close(client);
    }

    std::string root_;
    std::vector<std::string> endless_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct Measured {
    long peakKiB = 0;
    double seconds = 0;
    int exitStatus = -1;
};

// Runs `work` in a child; its exit status is what work returned.
Measured inChild(const std::function<int()>& work) {
    const auto start = std::chrono::steady_clock::now();
    std::fflush(stdout);  // the child must not print our buffered lines again
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(work());
    Measured m;
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakKiB = usage.ru_maxrss;
    m.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m;
}

}  // namespace

int main() {
    const fs::path root = fs::temp_directory_path() / ("bench-online-" + std::to_string(::getpid()));
    fs::create_directories(root / "program");
    // A signed release 1.31 of an 8 MiB program, and its library.
    const online::ReleaseKey key = online::generateReleaseKey();
    files::writeAtomically((root / "new-program").string(), std::string(8 << 20, 'p'));
    files::writeAtomically((root / "program" / "quillbox").string(), "old");
    Server server((root / "site").string(), {"/Quillbox/download/1.31/new-program"});
    auto publish = [&](const std::string& version) {
        online::ReleasePlan plan;
        plan.outputDirectory = (root / "site").string();
        plan.keyText = key.secretKey;
        plan.version = version;
        plan.binaryPath = (root / "new-program").string();
        plan.url = server.url("/Quillbox/download/" + version + "/new-program");
        std::string error;
        if (!online::writeReleaseSite(plan, &error))
            std::cerr << error << "\n";
    };
    auto check = [&](const std::string& serverRoot, online::UpdateOutcome expected) {
        return [&, serverRoot, expected] {
            RecordingOutput log;
            ScriptedDialogs dialogs;
            dialogs.yesNoAnswers = {MessageAnswer::Yes};
            online::UpdateContext context;
            context.log = &log;
            context.dialogs = &dialogs;
            context.server = serverRoot;
            context.publicKey = key.publicKey;
            context.libraryDirectory = (root / "lib").string();
            context.program = (root / "program" / "quillbox").string();
            context.version = "1.30";
            const online::UpdateOutcome outcome = online::runUpdateCheck(context);
            for (const std::string& line : log.texts())
                std::cerr << "    " << line << "\n";
            return outcome == expected ? 0 : 1;
        };
    };
    auto ajax = [&](const std::string& path) {
        return [&, path] {
            engine::ChakraCore engine;
            engine.New();
            const std::string answer = engine.Eval("var why = 'none'; $$.ajax({url: '" + server.url(path) +
                                                   "', error: function (t, w) { why = w; }}); why");
            std::cerr << "    ajax " << path << ": " << answer << "\n";
            return answer.find("larger than") != std::string::npos ? 0 : 1;
        };
    };

    struct Case {
        const char* name;
        std::function<int()> work;
    };
    publish("1.31");
    const std::vector<Case> cases = {
        {"peer: a good 4 MiB download, kept whole", [&] {
             net::HttpClient http;
             http.open(server.url("/good"));
             return http.send() && http.responseBytes().size() == (4u << 20) ? 0 : 1;
         }},
        {"endless version file (update check)", check(server.url("/endless-root"), online::UpdateOutcome::ServerError)},
        {"endless program download (signed 8 MiB)", check(server.url(""), online::UpdateOutcome::Refused)},
        {"endless body to $$.ajax (64 MiB cap)", ajax("/endless")},
        {"endless body to HttpClient, default cap", [&] {
             net::HttpClient http(net::HttpTransport::WinInet);
             http.open(server.url("/endless"));
             return !http.send() && http.lastError() == net::HttpError::TooLarge ? 0 : 1;
         }},
    };
    if (!engine::ChakraCore::libraryLoaded())
        std::cerr << "libChakraCore.so: " << engine::ChakraCore::libraryError() << "\n";

    std::printf("%-44s %10s %8s %6s %s\n", "case", "peak MB", "x peer", "s", "result");
    double peerMb = 0;
    bool allUnder = true;
    for (const Case& c : cases) {
        const Measured m = inChild(c.work);
        const double mb = static_cast<double>(m.peakKiB) / 1024.0;
        if (peerMb == 0)
            peerMb = mb;
        const bool endlessCase = std::string(c.name).rfind("endless", 0) == 0;
        allUnder &= !endlessCase || mb < 200.0;
        std::printf("%-44s %10.1f %8.2f %6.2f %s\n", c.name, mb, mb / peerMb, m.seconds,
                    m.exitStatus == 0 ? (endlessCase ? "refused at its cap" : "ok") : "UNEXPECTED");
    }
    std::printf("goal: every endless case under 200 MB: %s\n", allUnder ? "met" : "NOT MET");
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return allUnder ? 0 : 1;
}
