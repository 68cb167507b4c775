#pragma once
// The JsRT calls the ChakraCore binding makes, resolved once from libChakraCore.so and kept
// for the life of the process (runtimes may outlive any one ChakraCore instance).
#include <string>

#include "core/engine/ChakraCore.h"
#include "jsrt/JsRT.h"

namespace quillbox::engine {

struct ChakraCore::Api {
#define QB_JSRT_CALLS(X)                                                                                 \
    X(JsCreateRuntime) X(JsDisposeRuntime) X(JsCreateContext) X(JsSetCurrentContext) X(JsGetCurrentContext) \
    X(JsGetGlobalObject) X(JsCreateObject) X(JsSetPromiseContinuationCallback) X(JsCreateFunction)          \
    X(JsObjectSetProperty) X(JsObjectGetProperty) X(JsCreatePropertyId) X(JsGetProperty)                   \
    X(JsGetIndexedProperty) X(JsGetOwnPropertyNames) X(JsCreateString) X(JsCreateStringUtf16)              \
    X(JsCopyStringUtf16) X(JsGetStringLength) X(JsRun) X(JsHasException) X(JsGetAndClearException)         \
    X(JsGetAndClearExceptionWithMetadata) X(JsGetValueType) X(JsConvertValueToString) X(JsCallFunction)    \
    X(JsIntToNumber) X(JsGetUndefinedValue) X(JsAddRef) X(JsRelease) X(JsDisableRuntimeExecution)         \
    X(JsEnableRuntimeExecution) X(JsSetRuntimeMemoryLimit) X(JsSetRuntimeMemoryAllocationCallback)
#define QB_JSRT_FIELD(name) decltype(&::name) name = nullptr;
    QB_JSRT_CALLS(QB_JSRT_FIELD)
#undef QB_JSRT_FIELD
    bool loaded = false;
    std::string error;
};

}  // namespace quillbox::engine
