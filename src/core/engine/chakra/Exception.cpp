// The exception record: what TakeException reads from the engine's pending exception.
#include <cstdlib>
#include <utility>

#include "core/engine/ChakraCore.h"
#include "core/engine/chakra/Values.h"

namespace quillbox::engine {

using namespace chakra;

ChakraException ChakraCore::TakeException() {
    // A call that passed the memory limit left the engine new: its error is ours to give.
    if (memoryLimitError_.thrown)
        return std::exchange(memoryLimitError_, ChakraException());
    ChakraException record;
    const Api* js = api();
    if (!js || !context_)
        return record;
    makeCurrent();
    JsValueRef metadata = nullptr;
    if (js->JsGetAndClearExceptionWithMetadata(&metadata) != JsNoError || !metadata)
        return record;
    auto textOf = [&](const char* name) { return toText(*js, getProperty(*js, metadata, name)); };
    // A position the record does not hold is -1: no place to blame.
    auto numberOf = [&](const char* name, int absent) {
        JsValueRef value = getProperty(*js, metadata, name);
        return value && typeName(*js, value) == "number" ? std::atoi(toText(*js, value).c_str()) : absent;
    };
    record.thrown = true;
    record.source = textOf("source");
    record.url = textOf("url");
    record.exception = describeThrown(*js, getProperty(*js, metadata, "exception"));
    record.line = numberOf("line", -1);
    record.column = numberOf("column", -1);
    record.length = numberOf("length", 0);
    dropException(*js);
    return record;
}

}  // namespace quillbox::engine
