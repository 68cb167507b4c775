#include "core/transform/Transform.h"

namespace quillbox::transform {

TransformResult runTransform(const std::string& text, Mode mode) { return runTransformInChakra(text, mode); }

bool transformAvailable(std::string& why) {
    if (engine::ChakraCore::libraryLoaded())
        return true;
    why = engine::ChakraCore::libraryError();
    return false;
}

}  // namespace quillbox::transform
