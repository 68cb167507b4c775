// quillbox-cli json: parse standard input and print the value at a path.
#include <iostream>
#include <optional>

#include "cli/Command.h"
#include "core/json/JsonDocument.h"
#include "core/text/Text.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "json";

int runJson(const std::vector<std::string>& args) {
    bool pretty = false;
    std::optional<std::string> path;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg == "--pretty") {
            pretty = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            return usage(kName, "unknown option '" + arg + "'");
        } else if (path) {
            return usage(kName, "more than one PATH given");
        } else {
            path = arg;
        }
    }

    std::string bytes;
    if (!readInput(kName, "", bytes))
        return kFailed;
    JsonDocument doc;
    const JsonParseResult result = doc.parse(text::decodeFileText(bytes));
    if (!result.ok) {
        std::cerr << "error " << result.error << " at " << result.position << std::endl;
        return kFailed;
    }
    const std::string where = path.value_or("");
    if (doc.kind(where) == JsonKind::None) {
        std::cerr << "no value at " << where << std::endl;
        return kFailed;
    }
    if (!writeOutput(kName, "", doc.toJson(where, pretty, true) + "\n"))
        return kFailed;
    return kOk;
}

const CommandRegistration registration({
    kName,
    "parse JSON from standard input and print the value at a path",
    "Usage: quillbox-cli json [--pretty] [PATH] < FILE\n"
    "\n"
    "Parses standard input as JSON (UTF-8, or GB18030 when it is not valid UTF-8) and\n"
    "prints the value at PATH, or the whole document when PATH is absent, followed by a\n"
    "line break. Strings are written with escapes (\\\" \\\\ \\/ \\b \\t \\n \\f \\r).\n"
    "\n"
    "  --pretty   lay objects out over lines: CR LF line ends, one tab per level\n"
    "  --         end of options (for a PATH that begins with '-')\n"
    "\n"
    "PATH: member keys separated by '.', array indexes as [n] counted from 0, for\n"
    "example data[2].name. A backslash makes '.', '[', ']' or '\\' part of a key:\n"
    "a\\.b is the member named \"a.b\".\n"
    "\n"
    "The reader also accepts single quotes, bare keys and trailing commas.\n"
    "\n"
    "Exit status: 0 printed; 1 the input is not JSON (\"error CODE at POSITION\" on\n"
    "standard error, POSITION counted in UTF-16 units from 0) or PATH names no value\n"
    "(\"no value at PATH\"); 2 bad usage.\n"
    "Error codes: -2 empty input, -3 out of memory, -4 malformed member key, -5 input\n"
    "ended inside an open array or object, -6 malformed value or text after the value.\n",
    runJson,
});

}  // namespace
}  // namespace quillbox::cli
