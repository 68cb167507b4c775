#pragma once
// What several commands share: their argument parsing, the project a FILE operand holds,
// and the engine and transform commands' common steps.
#include <functional>
#include <string>
#include <vector>

#include "core/platform/Dialogs.h"
#include "core/project/ProjectStore.h"
#include "core/transform/Transform.h"

namespace quillbox::cli {

struct Option {
    std::string name;            // as typed: "-e", "--engine"
    bool takesValue = false;     // the next argument is its value
    std::string missingValue{};  // the usage message when no value follows; "<name> needs a value" when empty
};

// Called for each option given, in order, with its value (empty for a flag). Returns kOk
// to go on, or the status to end the command with (usage() for a bad value).
using OptionHandler = std::function<int(const std::string& option, const std::string& value)>;

// Splits args into the options in `options` and operands. "--" ends the options; "-" and
// the empty argument are operands; any other argument starting with '-' that is not in
// `options` is bad usage. Returns kOk, or the status of the first problem (its message
// already printed).
int parseArguments(const char* command, const std::vector<std::string>& args, const std::vector<Option>& options,
                   const OptionHandler& onOption, std::vector<std::string>& operands);

// kOk when exactly one FILE operand was given, else the usage status.
int requireOneFile(const char* command, const std::vector<std::string>& operands);

// Sets engineIndex from an --engine value (native or chakra); else the usage status.
int parseEngineOption(const char* command, const std::string& value, engine::EngineKind& engineIndex);

// kOk when the engine is usable: the native engine always is, ChakraCore when its library
// could be loaded (else the failure status, with the library's error).
int requireEngine(const char* command, engine::EngineKind engineIndex);

// The project held by the file named on the command line, in a store of in-memory pages
// whose dialogs answer nothing.
class CommandProject {
public:
    CommandProject();
    CommandProject(const CommandProject&) = delete;
    CommandProject& operator=(const CommandProject&) = delete;

    // Reads the file and adds its project to the store; with `open`, also makes the page of
    // its first module the current page. False, with the message on standard error, when
    // the file cannot be read or holds no project that can be added.
    bool load(const char* command, const std::string& path, bool open);

    ProjectStore& store() { return store_; }
    const std::string& name() const { return name_; }

private:
    ScriptedDialogs dialogs_;
    ProjectStore store_;
    std::string name_;
};

// The whole of the compress and format commands: the script in the one optional FILE
// (standard input without it) run through the transform, printed on standard output.
int runTransformCommand(const char* command, transform::Mode mode, const std::vector<std::string>& args);

}  // namespace quillbox::cli
