// The JsRT calls on Windows: ChakraCore.dll beside the program when there is one, else the
// system's chakra.dll. A library that lacks a call the binding makes is refused by name.
#include "core/engine/chakra/Api.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "core/platform/Paths.h"

namespace quillbox::engine {

namespace {

std::wstring wide(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

ChakraCore::Api* loadApi() {
    auto* api = new ChakraCore::Api;
    const std::string beside = ChakraCore::libraryPath();
    std::string path = beside;
    HMODULE handle = LoadLibraryExW(wide(beside).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!handle) {
        path = "chakra.dll";
        handle = LoadLibraryExW(L"chakra.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    if (!handle) {
        api->error = "neither " + beside + " nor the system's chakra.dll is on this system (error " +
                     std::to_string(GetLastError()) + "): the chakra engine is not available here";
        return api;
    }
#define QB_JSRT_RESOLVE(name)                                                                            \
    api->name = reinterpret_cast<decltype(api->name)>(reinterpret_cast<void*>(GetProcAddress(handle, #name))); \
    if (!api->name) {                                                                                    \
        api->error = path + ": the call " #name " is missing (the chakra engine needs ChakraCore's JsRT)"; \
        return api;                                                                                      \
    }
    QB_JSRT_CALLS(QB_JSRT_RESOLVE)
#undef QB_JSRT_RESOLVE
    api->loaded = true;
    return api;
}

const ChakraCore::Api& library() {
    static const ChakraCore::Api* loaded = loadApi();
    return *loaded;
}

}  // namespace

const ChakraCore::Api* ChakraCore::api() {
    return library().loaded ? &library() : nullptr;
}

std::string ChakraCore::libraryPath() {
    return paths::join(paths::programDirectory(), "ChakraCore.dll");
}

bool ChakraCore::libraryLoaded() {
    return library().loaded;
}

std::string ChakraCore::libraryError() {
    return library().error;
}

}  // namespace quillbox::engine
