#pragma once
// The JsRT calls that libChakraCore.so offers: the cross-platform subset of ChakraCore's
// C API that the ChakraCore binding uses, with ChakraCore's names, numbers and meaning, so
// that a genuine ChakraCore build for Linux can stand in for this library.
//
// Our implementation runs over JavaScriptCore (see JsRT.cpp for where it differs).
#include <stddef.h>
#include <stdint.h>

#if defined(QUILLBOX_JSRT_BUILDING)
#define JSRT_API extern "C" __attribute__((visibility("default"))) JsErrorCode
#else
#define JSRT_API extern "C" JsErrorCode
#endif

typedef void* JsRef;
typedef JsRef JsContextRef;
typedef JsRef JsValueRef;
typedef JsRef JsPropertyIdRef;
typedef void* JsRuntimeHandle;
typedef uintptr_t JsSourceContext;

#define JS_INVALID_REFERENCE nullptr
#define JS_INVALID_RUNTIME_HANDLE nullptr
#define JS_SOURCE_CONTEXT_NONE ((JsSourceContext)-1)

typedef enum _JsErrorCode {
    JsNoError = 0,

    JsErrorCategoryUsage = 0x10000,
    JsErrorInvalidArgument,
    JsErrorNullArgument,
    JsErrorNoCurrentContext,
    JsErrorInExceptionState,
    JsErrorNotImplemented,
    JsErrorWrongThread,
    JsErrorRuntimeInUse,
    JsErrorBadSerializedScript,
    JsErrorInDisabledState,
    JsErrorCannotDisableExecution,
    JsErrorHeapEnumInProgress,
    JsErrorArgumentNotObject,
    JsErrorInProfileCallback,
    JsErrorInThreadServiceCallback,
    JsErrorCannotSerializeDebugScript,
    JsErrorAlreadyDebuggingContext,
    JsErrorAlreadyProfilingContext,
    JsErrorIdleNotEnabled,
    JsCannotSetProjectionEnqueueCallback,
    JsErrorCannotStartProjection,
    JsErrorInObjectBeforeCollectCallback,
    JsErrorObjectNotInspectable,
    JsErrorPropertyNotSymbol,
    JsErrorPropertyNotString,
    JsErrorInvalidContext,
    JsInvalidModuleHostInfoKind,
    JsErrorModuleParsed,
    JsNoWeakRefRequired,
    JsErrorPromisePending,
    JsErrorModuleNotEvaluated,

    JsErrorCategoryEngine = 0x20000,
    JsErrorOutOfMemory,
    JsErrorBadFPUState,

    JsErrorCategoryScript = 0x30000,
    JsErrorScriptException,
    JsErrorScriptCompile,
    JsErrorScriptTerminated,
    JsErrorScriptEvalDisabled,

    JsErrorCategoryFatal = 0x40000,
    JsErrorFatal,
    JsErrorWrongRuntime,

    JsErrorCategoryDiagnostic = 0x50000,
    JsErrorDiagNotInDebugMode,
    JsErrorDiagNotAtBreak,
    JsErrorDiagInvalidHandle,
    JsErrorDiagObjectNotFound,
    JsErrorDiagUnableToPerformAction,
} JsErrorCode;

typedef enum _JsRuntimeAttributes {
    JsRuntimeAttributeNone = 0x00000000,
    JsRuntimeAttributeDisableBackgroundWork = 0x00000001,
    JsRuntimeAttributeAllowScriptInterrupt = 0x00000002,
    JsRuntimeAttributeEnableIdleProcessing = 0x00000004,
    JsRuntimeAttributeDisableNativeCodeGeneration = 0x00000008,
    JsRuntimeAttributeDisableEval = 0x00000010,
    JsRuntimeAttributeEnableExperimentalFeatures = 0x00000020,
    JsRuntimeAttributeDispatchSetExceptionsToDebugger = 0x00000040,
    JsRuntimeAttributeDisableFatalOnOOM = 0x00000080,
    JsRuntimeAttributeDisableExecutablePageAllocation = 0x00000100,
} JsRuntimeAttributes;

typedef enum _JsParseScriptAttributes {
    JsParseScriptAttributeNone = 0x0,
    JsParseScriptAttributeLibraryCode = 0x1,
    JsParseScriptAttributeArrayBufferIsUtf16Encoded = 0x2,
} JsParseScriptAttributes;

typedef enum _JsValueType {
    JsUndefined = 0,
    JsNull = 1,
    JsNumber = 2,
    JsString = 3,
    JsBoolean = 4,
    JsObject = 5,
    JsFunction = 6,
    JsError = 7,
    JsArray = 8,
    JsSymbol = 9,
    JsArrayBuffer = 10,
    JsTypedArray = 11,
    JsDataView = 12,
} JsValueType;

typedef enum _JsMemoryEventType {
    JsMemoryAllocate = 0,
    JsMemoryFree = 1,
    JsMemoryFailure = 2,
} JsMemoryEventType;

// For JsMemoryAllocate, false refuses the allocation; the result is ignored for the others.
typedef bool (*JsMemoryAllocationCallback)(void* callbackState, JsMemoryEventType allocationEvent,
                                           size_t allocationSize);
typedef void (*JsBackgroundWorkItemCallback)(void* callbackState);
typedef bool (*JsThreadServiceCallback)(JsBackgroundWorkItemCallback callback, void* callbackState);
typedef void (*JsPromiseContinuationCallback)(JsValueRef task, void* callbackState);
typedef JsValueRef (*JsNativeFunction)(JsValueRef callee, bool isConstructCall, JsValueRef* arguments,
                                       unsigned short argumentCount, void* callbackState);

// Runtimes and contexts.
JSRT_API JsCreateRuntime(JsRuntimeAttributes attributes, JsThreadServiceCallback threadService,
                         JsRuntimeHandle* runtime);
JSRT_API JsDisposeRuntime(JsRuntimeHandle runtime);
JSRT_API JsCollectGarbage(JsRuntimeHandle runtime);
JSRT_API JsCreateContext(JsRuntimeHandle runtime, JsContextRef* newContext);
JSRT_API JsSetCurrentContext(JsContextRef context);
JSRT_API JsGetCurrentContext(JsContextRef* currentContext);
JSRT_API JsAddRef(JsRef ref, unsigned int* count);
JSRT_API JsRelease(JsRef ref, unsigned int* count);
// The stop: callable from any thread.
JSRT_API JsDisableRuntimeExecution(JsRuntimeHandle runtime);
JSRT_API JsEnableRuntimeExecution(JsRuntimeHandle runtime);
JSRT_API JsIsRuntimeExecutionDisabled(JsRuntimeHandle runtime, bool* isDisabled);
// Memory: a limit of (size_t)-1 is none (the default). A script that passes the limit, or whose
// allocation the callback refuses, ends with JsErrorOutOfMemory; until the runtime's usage is back
// under the limit every further script fails the same way.
JSRT_API JsGetRuntimeMemoryUsage(JsRuntimeHandle runtime, size_t* memoryUsage);
JSRT_API JsGetRuntimeMemoryLimit(JsRuntimeHandle runtime, size_t* memoryLimit);
JSRT_API JsSetRuntimeMemoryLimit(JsRuntimeHandle runtime, size_t memoryLimit);
JSRT_API JsSetRuntimeMemoryAllocationCallback(JsRuntimeHandle runtime, void* callbackState,
                                              JsMemoryAllocationCallback allocationCallback);

// Running scripts and calling functions.
JSRT_API JsRun(JsValueRef script, JsSourceContext sourceContext, JsValueRef sourceUrl,
               JsParseScriptAttributes parseAttributes, JsValueRef* result);
JSRT_API JsCallFunction(JsValueRef function, JsValueRef* arguments, unsigned short argumentCount,
                        JsValueRef* result);
JSRT_API JsSetPromiseContinuationCallback(JsPromiseContinuationCallback callback, void* callbackState);

// Exceptions.
JSRT_API JsHasException(bool* hasException);
JSRT_API JsGetAndClearException(JsValueRef* exception);
JSRT_API JsGetAndClearExceptionWithMetadata(JsValueRef* metadata);

// Values.
JSRT_API JsGetGlobalObject(JsValueRef* globalObject);
JSRT_API JsGetUndefinedValue(JsValueRef* undefinedValue);
JSRT_API JsGetNullValue(JsValueRef* nullValue);
JSRT_API JsCreateObject(JsValueRef* object);
JSRT_API JsCreateFunction(JsNativeFunction nativeFunction, void* callbackState, JsValueRef* function);
JSRT_API JsGetValueType(JsValueRef value, JsValueType* type);
JSRT_API JsConvertValueToString(JsValueRef value, JsValueRef* stringValue);
JSRT_API JsIntToNumber(int intValue, JsValueRef* value);
JSRT_API JsDoubleToNumber(double doubleValue, JsValueRef* value);
JSRT_API JsNumberToInt(JsValueRef value, int* intValue);
JSRT_API JsNumberToDouble(JsValueRef value, double* doubleValue);
JSRT_API JsBoolToBoolean(bool value, JsValueRef* booleanValue);
JSRT_API JsBooleanToBool(JsValueRef value, bool* boolValue);

// Strings: UTF-8 and UTF-16. Copies are not terminated.
JSRT_API JsCreateString(const char* content, size_t length, JsValueRef* value);
JSRT_API JsCreateStringUtf16(const uint16_t* content, size_t length, JsValueRef* value);
JSRT_API JsCopyString(JsValueRef value, char* buffer, size_t bufferSize, size_t* length);
JSRT_API JsCopyStringUtf16(JsValueRef value, int start, int length, uint16_t* buffer, size_t* written);
JSRT_API JsGetStringLength(JsValueRef stringValue, int* length);

// Properties.
JSRT_API JsCreatePropertyId(const char* name, size_t length, JsPropertyIdRef* propertyId);
JSRT_API JsGetProperty(JsValueRef object, JsPropertyIdRef propertyId, JsValueRef* value);
JSRT_API JsSetProperty(JsValueRef object, JsPropertyIdRef propertyId, JsValueRef value, bool useStrictRules);
JSRT_API JsObjectGetProperty(JsValueRef object, JsValueRef key, JsValueRef* value);
JSRT_API JsObjectSetProperty(JsValueRef object, JsValueRef key, JsValueRef value, bool useStrictRules);
JSRT_API JsGetIndexedProperty(JsValueRef object, JsValueRef index, JsValueRef* result);
JSRT_API JsSetIndexedProperty(JsValueRef object, JsValueRef index, JsValueRef value);
JSRT_API JsGetOwnPropertyNames(JsValueRef object, JsValueRef* propertyNames);
