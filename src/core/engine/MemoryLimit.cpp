#include "core/engine/MemoryLimit.h"

namespace quillbox::engine {

std::string memoryLimitText(std::size_t bytes) {
    constexpr std::size_t kMiB = std::size_t(1) << 20;
    if (bytes % kMiB == 0)
        return std::to_string(bytes / kMiB) + " MiB";
    return std::to_string(bytes) + " bytes";
}

std::string memoryLimitDescription(std::size_t bytes, const char* what) {
    return "Out of memory: the script passed the memory limit of " + memoryLimitText(bytes) +
           "; the engine was made anew and all " + what + " code is gone";
}

}  // namespace quillbox::engine
