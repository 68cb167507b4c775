#pragma once
// Faults made on purpose, for testing the crash handler (`--fault KIND`).
#include <string>
#include <vector>

namespace quillbox::crash {

// write (to address 0), read (from address 0), divide (an integer by zero), stack (a
// runaway recursion), abort, throw (an exception nobody catches), thread-write and
// thread-stack (the same on a thread started now), illegal (an undefined instruction),
// privileged (an instruction only the kernel may run), breakpoint (int3).
const std::vector<std::string>& faultKinds();

// Makes the fault; returns false at once, doing nothing, for a kind it does not know.
bool makeFault(const std::string& kind);

}  // namespace quillbox::crash
