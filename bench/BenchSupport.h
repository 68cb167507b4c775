#pragma once
// What the benchmarks that run programs share: running a child with its standard output
// sent to a file, timing it, and taking the best of several runs.
#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

#include "core/text/Text.h"

extern char** environ;

namespace bench {

struct Run {
    double seconds = 0;     // wall clock
    double cpuSeconds = 0;  // user + system time of the child
    long maxRssKiB = 0;
    int status = -1;  // raw wait status

    bool succeeded() const { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }
};

inline Run runChild(const std::vector<std::string>& args, const std::string& stdoutPath,
                    const std::string& stderrPath = "") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!stderrPath.empty())
        posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return run;
    }
    posix_spawn_file_actions_destroy(&actions);
    struct rusage usage {};
    wait4(pid, &run.status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.maxRssKiB = usage.ru_maxrss;
    run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return run;
}

// One module: lines of script mixing ASCII and Chinese, about `bytes` long in GB18030.
inline std::string moduleCode(std::size_t index, std::size_t bytes) {
    std::string code;
    std::size_t gbBytes = 0;
    for (std::size_t line = 0; gbBytes < bytes; ++line) {
        const std::string text = "var 变量_" + std::to_string(index) + "_" + std::to_string(line) +
                                 " = '这是一个用于测试解包速度的中文字符串，包含标点。' + \"ascii text " +
                                 std::to_string(line * 7919 % 10007) + "\";\r\n";
        gbBytes += quillbox::text::gbkLength(text);
        code += text;
    }
    return code;
}

// A project script file (GB18030) of `modules` modules of Chinese and ASCII script, about
// `fileBytes` long in all.
inline std::string makeProjectFile(std::size_t modules, std::size_t fileBytes) {
    const std::string sep = "//========================";
    std::string text = sep + "\r\n//       START   大项目\r\n" + sep + "\r\n\r\n";
    for (std::size_t i = 0; i < modules; ++i) {
        text += sep + "\r\n//       模块" + std::to_string(i) + ".js\r\n" + sep + "\r\n";
        text += moduleCode(i, fileBytes / modules - 100);
        text += i + 1 == modules ? "\r\n" : "\r\n\r\n\r\n\r\n\r\n";
    }
    text += "\r\n" + sep + "\r\n//       END   大项目\r\n" + sep + "\r\n\r\n//Quillbox By Zorvan 1.30";
    return quillbox::text::toGb18030(text);
}

inline double best(const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); }


// A module of site-like code: a namespace built in a closure and a constructor with
// prototype methods.
inline std::string siteModuleCode(std::size_t i) {
    const std::string n = std::to_string(i);
    return "var NS_" + n + " = (function () {\r\n"
           "    var count = 0;\r\n"
           "    function helper(x) { count = count + 1; return x * 2 + count; }\r\n"
           "    return { helper: helper, name: 'ns_" + n + "', version: " + n + " };\r\n"
           "})();\r\n"
           "function Widget_" + n + "(v) { this.v = v; }\r\n"
           "Widget_" + n + ".prototype.get = function () { return this.v; };\r\n"
           "Widget_" + n + ".prototype.twice = function () { return NS_" + n + ".helper(this.v); };\r\n";
}

// The project script file `name` of `modules` such modules m0, m1, ... (ASCII, so GB18030
// and UTF-8 agree).
inline std::string siteProjectFile(const std::string& name, std::size_t modules) {
    const std::string sep = "//========================";
    std::string text = sep + "\r\n//       START   " + name + "\r\n" + sep + "\r\n\r\n";
    for (std::size_t i = 0; i < modules; ++i) {
        text += sep + "\r\n//       m" + std::to_string(i) + ".js\r\n" + sep + "\r\n";
        text += siteModuleCode(i);
        text += i + 1 == modules ? "\r\n" : "\r\n\r\n\r\n\r\n\r\n";
    }
    return text + "\r\n" + sep + "\r\n//       END   " + name + "\r\n" + sep + "\r\n\r\n//Quillbox By Zorvan 1.30";
}

}  // namespace bench
