// The module an address lies in, from the system's loader. (Faults are classified by the
// handler from the exception's code: there are no signals to read.)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>

#include "core/crash/CrashReport.h"

namespace quillbox::crash {

namespace {
// The last name looked up: the report is written by one thread at a time.
char moduleName[MAX_PATH];
}  // namespace

bool locate(std::uintptr_t address, ModuleSpot& spot) {
    HMODULE module = nullptr;
    if (address == 0 ||
        !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(address), &module) ||
        !module)
        return false;
    const DWORD n = GetModuleFileNameA(module, moduleName, sizeof moduleName);
    if (n == 0)
        return false;
    const char* name = moduleName;
    for (const char* p = moduleName; *p; ++p)
        if (*p == '\\' || *p == '/')
            name = p + 1;
    spot.name = name;
    spot.base = reinterpret_cast<std::uintptr_t>(module);
    spot.symbol = nullptr;
    spot.symbolAddress = 0;
    return true;
}

}  // namespace quillbox::crash
