#pragma once
// Helpers shared by the tests.
#include <string>
#include <vector>

namespace quillbox::test {

// A fresh directory under the test's temporary home, created empty.
std::string freshDirectory(const std::string& name);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
// Sets an environment variable of this process, or removes it when `value` is null.
void setEnvironment(const std::string& name, const char* value);

struct ProcessResult {
    int status = -1;  // exit status, or -1 when the process did not exit normally
    int signal = 0;   // the signal that ended the process, 0 when it exited
    std::string out;
    std::string err;
};
// Runs a program with arguments (no shell), feeding `input` to its standard input.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = "");

// Whether libChakraCore.so was built beside the program (the ChakraCore engine's tests need it).
bool chakraBuiltBeside(const std::string& program);

}  // namespace quillbox::test
