#include "core/engine/chakra/EngineLibrary.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "core/engine/ChakraCore.h"
#include "core/platform/Paths.h"
#include "core/platform/WindowsText.h"

namespace quillbox::engine {

EngineLibrary openEngineLibrary() {
    EngineLibrary library;
    const std::string beside = ChakraCore::libraryPath();
    library.path = beside;
    HMODULE handle = LoadLibraryExW(platform::wide(beside).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!handle) {
        library.path = "chakra.dll";
        handle = LoadLibraryExW(L"chakra.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    if (!handle)
        library.error = "neither " + beside + " nor the system's chakra.dll is on this system (error " +
                        std::to_string(GetLastError()) + "): the chakra engine is not available here";
    library.handle = handle;
    return library;
}

void* engineLibrarySymbol(const EngineLibrary& library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library.handle), name));
}

std::string ChakraCore::libraryPath() {
    return paths::join(paths::programDirectory(), "ChakraCore.dll");
}

}  // namespace quillbox::engine
