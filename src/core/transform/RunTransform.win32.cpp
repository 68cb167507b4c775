#include "core/transform/Transform.h"

namespace quillbox::transform {

// ChakraCore's JsRT where it is found (ChakraCore.dll, or a system chakra.dll with every call):
// the engine the commands use on Linux, and with its compiler many times faster on large files
// (ace.js, 900 KB, formats in 1.4 s there and 22 s in Duktape). Without it the transform
// library runs in a plain Duktape context, which gives the same text.
TransformResult runTransform(const std::string& text, Mode mode) {
    return engine::ChakraCore::libraryLoaded() ? runTransformInChakra(text, mode) : runTransformInDuktape(text, mode);
}

bool transformAvailable(std::string&) { return true; }

}  // namespace quillbox::transform
