#pragma once
// The memory limit both engines keep: what a script may use before it is ended, the engine
// made anew and an error describes the limit.
#include <cstddef>
#include <string>

namespace quillbox::engine {

// 1 GiB, unless the settings or the command line say otherwise.
inline constexpr std::size_t kDefaultMemoryLimit = std::size_t(1) << 30;
// The limits accepted from the user, in MiB: from 16 MiB to 1 TiB.
inline constexpr long kMinMemoryLimitMiB = 16;
inline constexpr long kMaxMemoryLimitMiB = 1L << 20;

// "1024 MiB", or the bytes when the limit is not a whole number of MiB.
std::string memoryLimitText(std::size_t bytes);
// The description of the error a script gets when it passes the limit; `what` names the code
// that is gone with the engine ("added" for the native engine, "loaded" for ChakraCore):
// "Out of memory: the script passed the memory limit of 1024 MiB; the engine was made anew
// and all loaded code is gone".
std::string memoryLimitDescription(std::size_t bytes, const char* what);

}  // namespace quillbox::engine
