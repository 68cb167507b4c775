#include "support/TestSupport.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quillbox::test {

void setEnvironment(const std::string& name, const char* value) {
    if (value)
        ::setenv(name.c_str(), value, 1);
    else
        ::unsetenv(name.c_str());
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args, const std::string& input) {
    // A child that exits before reading all its input must not kill the test with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    ProcessResult result;
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (rc != 0) {
        close(in[1]);
        close(out[0]);
        close(err[0]);
        return result;
    }
    std::size_t written = 0;
    if (input.empty()) {
        close(in[1]);
        in[1] = -1;
    }
    fcntl(in[1], F_SETFL, O_NONBLOCK);
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        pollfd fds[3];
        int n = 0;
        int outIdx = -1, errIdx = -1, inIdx = -1;
        if (outOpen) { fds[n] = {out[0], POLLIN, 0}; outIdx = n++; }
        if (errOpen) { fds[n] = {err[0], POLLIN, 0}; errIdx = n++; }
        if (in[1] >= 0) { fds[n] = {in[1], POLLOUT, 0}; inIdx = n++; }
        if (poll(fds, static_cast<nfds_t>(n), -1) < 0)
            break;
        char buf[65536];
        if (outIdx >= 0 && fds[outIdx].revents) {
            ssize_t k = read(out[0], buf, sizeof buf);
            if (k <= 0) outOpen = false; else result.out.append(buf, static_cast<std::size_t>(k));
        }
        if (errIdx >= 0 && fds[errIdx].revents) {
            ssize_t k = read(err[0], buf, sizeof buf);
            if (k <= 0) errOpen = false; else result.err.append(buf, static_cast<std::size_t>(k));
        }
        if (inIdx >= 0 && fds[inIdx].revents) {
            ssize_t k = write(in[1], input.data() + written, input.size() - written);
            if (k > 0) written += static_cast<std::size_t>(k);
            if (k < 0 || written == input.size()) { close(in[1]); in[1] = -1; }
        }
    }
    if (in[1] >= 0) close(in[1]);
    close(out[0]);
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

bool chakraBuiltBeside(const std::string& program) {
    return std::filesystem::exists(std::filesystem::path(program).parent_path() / "libChakraCore.so");
}

}  // namespace quillbox::test
