#pragma once
// The options the code tools (convert, deobfuscate) share: -o OUT, --report, --check EXPR
// (repeated) and --timeout SECONDS, which covers the whole command.
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "core/tools/Stop.h"

namespace quillbox::cli {

struct ToolOptions {
    std::string outPath;
    bool report = false;
    std::vector<std::string> expressions;
    double timeout = 0;  // seconds; 0 for none
    std::string timeoutText;

    static std::vector<Option> shared() {
        return {{"-o", true}, {"--report", false}, {"--check", true}, {"--timeout", true}};
    }

    // Takes a shared option: kOk, or the usage status for a bad value. nullopt for an option
    // of the command's own.
    std::optional<int> take(const char* command, const std::string& option, const std::string& value) {
        if (option == "-o") {
            outPath = value;
        } else if (option == "--report") {
            report = true;
        } else if (option == "--check") {
            if (value.empty())
                return usage(command, "--check needs an expression");
            expressions.push_back(value);
        } else if (option == "--timeout") {
            char* end = nullptr;
            timeout = std::strtod(value.c_str(), &end);
            timeoutText = value;
            if (value.empty() || *end != '\0' || !(timeout > 0) || timeout > 1e6)
                return usage(command, "--timeout takes a number of seconds above 0, not '" + value + "'");
        } else {
            return std::nullopt;
        }
        return kOk;
    }

    // The command's stop; the time limit, when there is one, runs from now.
    std::shared_ptr<tools::Stop> startStop() {
        auto stop = std::make_shared<tools::Stop>();
        if (timeout > 0)
            limit_.emplace(stop, std::chrono::milliseconds(static_cast<long long>(std::ceil(timeout * 1000))));
        return stop;
    }

    std::string timedOut() const { return "stopped: the time limit (--timeout " + timeoutText + " s) was up"; }

private:
    std::optional<tools::StopAfter> limit_;
};

}  // namespace quillbox::cli
