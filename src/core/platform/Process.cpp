#include "core/platform/Process.h"

#include <malloc.h>
#include <unistd.h>

#include <cstdlib>

namespace quillbox::process {

bool setEnvironment(const std::string& name, const std::string& value) {
    return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

std::tm localTime(std::time_t t) {
    std::tm parts{};
    ::localtime_r(&t, &parts);
    return parts;
}

void returnFreeMemory() { ::malloc_trim(0); }

std::string executablePath() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace quillbox::process
