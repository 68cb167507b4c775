#include "core/engine/chakra/Api.h"

#include "core/engine/chakra/EngineLibrary.h"

namespace quillbox::engine {

namespace {

ChakraCore::Api* loadApi() {
    auto* api = new ChakraCore::Api;
    const EngineLibrary library = openEngineLibrary();
    if (!library.handle) {
        api->error = library.error;
        return api;
    }
#define QB_JSRT_RESOLVE(name)                                                                      \
    api->name = reinterpret_cast<decltype(api->name)>(engineLibrarySymbol(library, #name));      \
    if (!api->name) {                                                                              \
        api->error = library.path + ": the call " #name " is missing (the chakra engine needs ChakraCore's JsRT)"; \
        return api;                                                                                \
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

bool ChakraCore::libraryLoaded() {
    return library().loaded;
}

std::string ChakraCore::libraryError() {
    return library().error;
}

}  // namespace quillbox::engine
