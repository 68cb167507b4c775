#include "core/platform/Process.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <malloc.h>

#include <cstdlib>

#include "core/platform/WindowsText.h"

namespace quillbox::process {

bool setEnvironment(const std::string& name, const std::string& value) {
    // Both copies: the C runtime's (getenv) and the system's (children).
    const std::wstring wname = platform::wide(name), wvalue = platform::wide(value);
    return _wputenv_s(wname.c_str(), wvalue.c_str()) == 0 && SetEnvironmentVariableW(wname.c_str(), wvalue.c_str());
}

std::tm localTime(std::time_t t) {
    std::tm parts{};
    localtime_s(&parts, &t);
    return parts;
}

void returnFreeMemory() { _heapmin(); }

std::string executablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return "";
        if (n < path.size())
            return platform::narrow(std::wstring_view(path.data(), n));
        path.resize(path.size() * 2);
    }
}

}  // namespace quillbox::process
