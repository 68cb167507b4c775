#pragma once
// Names for the program's own functions in a call stack. The crash handler can only ask the
// dynamic linker (dladdr), which knows exported symbols; file-local functions, lambdas and
// anything else not exported show as a bare offset. The executable's full symbol table
// (.symtab) names them: the crash reporter, a separate process started from the same file,
// reads it from disk when it shows the report.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillbox::crash {

class OwnSymbols {
public:
    // The symbols of the ELF file at `path` (empty when it cannot be read, is no ELF file or
    // is stripped).
    explicit OwnSymbols(const std::string& path);

    struct Hit {
        std::string name;          // as the linker knows it (mangled for C++)
        std::uintptr_t distance;   // from the start of the function
    };
    // The function that covers `offset` (from the address the file is loaded at).
    std::optional<Hit> at(std::uintptr_t offset) const;
    bool empty() const { return functions_.empty(); }

private:
    struct Function {
        std::uintptr_t start;
        std::uintptr_t size;
        std::string name;
    };
    std::vector<Function> functions_;  // by start
};

}  // namespace quillbox::crash
