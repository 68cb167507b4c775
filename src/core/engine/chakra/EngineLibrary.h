#pragma once
// Where the JsRT calls come from: the engine's library, opened once at run time. Linux has
// libChakraCore.so beside the program; Windows has ChakraCore.dll beside it, else the
// system's own chakra.dll.
#include <string>

namespace quillbox::engine {

struct EngineLibrary {
    void* handle = nullptr;  // null when no library could be opened
    std::string path;        // the file it was opened from
    std::string error;       // why none was, in words for the user
};

EngineLibrary openEngineLibrary();
// The call of that name in the library, or null.
void* engineLibrarySymbol(const EngineLibrary& library, const char* name);

}  // namespace quillbox::engine
