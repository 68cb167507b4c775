// The host objects every context gets: `$$` and `console` (one object under two names) with
// log and warn (ajax: chakra/Ajax.cpp), and the promise continuation callback.
#include "core/engine/ChakraCore.h"
#include "core/engine/chakra/Values.h"

namespace quillbox::engine {

using namespace chakra;

void ChakraCore::continuationHandler(void* task, void*) {
    const Api* js = api();
    if (!js)
        return;
    js->JsAddRef(task, nullptr);
    JsValueRef global = nullptr;
    js->JsGetGlobalObject(&global);
    JsValueRef args[] = {global};
    JsValueRef result = nullptr;
    js->JsCallFunction(task, args, 1, &result);
    js->JsRelease(task, nullptr);
}

void* ChakraCore::consoleHandler(void*, bool, void** args, unsigned short argc, void* state) {
    const Api* js = api();
    if (!js)
        return nullptr;
    auto* callback = static_cast<ConsoleCallback*>(state);
    if (!callback || !*callback)
        return undefinedValue(*js);
    JsValueRef global = nullptr;
    js->JsGetGlobalObject(&global);
    JsValueRef json = getProperty(*js, global, "JSON");
    JsValueRef stringify = json ? getProperty(*js, json, "stringify") : nullptr;
    for (unsigned short k = 1; k < argc; ++k) {
        const std::string type = typeName(*js, args[k]);
        std::string message;
        if (type == "function" || type == "string" || type == "number" || type == "undefined" || type == "null" ||
            type == "boolean") {
            message = toText(*js, args[k]);
        } else {
            JsValueRef call[] = {global, args[k]};
            JsValueRef result = nullptr;
            if (stringify && js->JsCallFunction(stringify, call, 2, &result) == JsNoError) {
                message = toText(*js, result);
            } else if (hasException(*js)) {
                // A value JSON cannot write (a cycle, a BigInt inside) is logged by its
                // string form; logging never throws into the script.
                dropException(*js);
                message = toText(*js, args[k]);
            }
        }
        (*callback)(type, message);
    }
    return undefinedValue(*js);
}

}  // namespace quillbox::engine
