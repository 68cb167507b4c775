#include "core/engine/chakra/Api.h"

#include <dlfcn.h>

#include "core/platform/Paths.h"

namespace quillbox::engine {

namespace {

ChakraCore::Api* loadApi() {
    auto* api = new ChakraCore::Api;
    const std::string path = ChakraCore::libraryPath();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        api->error = why ? why : ("cannot load " + path);
        return api;
    }
#define QB_JSRT_RESOLVE(name)                                                        \
    api->name = reinterpret_cast<decltype(api->name)>(dlsym(handle, #name));       \
    if (!api->name) {                                                                \
        api->error = path + ": the call " #name " is missing";                       \
        return api;                                                                  \
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
    return paths::join(paths::programDirectory(), kEngineLibraryName);
}

bool ChakraCore::libraryLoaded() {
    return library().loaded;
}

std::string ChakraCore::libraryError() {
    return library().error;
}

}  // namespace quillbox::engine
