#pragma once
// What the program asks of its own process: the environment, the local time, its executable,
// and giving freed memory back to the system.
#include <ctime>
#include <string>

namespace quillbox::process {

// Sets a variable of the process's environment (children inherit it); false on failure.
bool setEnvironment(const std::string& name, const std::string& value);
// The broken-down local time of `t`.
std::tm localTime(std::time_t t);
// Hands memory the process freed back to the system (after a large script's heap went).
void returnFreeMemory();
// The running executable's full path; "" when unknown.
std::string executablePath();

}  // namespace quillbox::process
