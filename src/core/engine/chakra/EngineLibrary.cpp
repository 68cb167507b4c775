#include "core/engine/chakra/EngineLibrary.h"

#include <dlfcn.h>

#include "core/engine/ChakraCore.h"
#include "core/platform/Paths.h"

namespace quillbox::engine {

EngineLibrary openEngineLibrary() {
    EngineLibrary library;
    library.path = ChakraCore::libraryPath();
    library.handle = dlopen(library.path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library.handle) {
        const char* why = dlerror();
        library.error = why ? why : ("cannot load " + library.path);
    }
    return library;
}

void* engineLibrarySymbol(const EngineLibrary& library, const char* name) { return dlsym(library.handle, name); }

std::string ChakraCore::libraryPath() {
    return paths::join(paths::programDirectory(), kEngineLibraryName);
}

}  // namespace quillbox::engine
