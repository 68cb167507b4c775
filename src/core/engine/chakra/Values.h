#pragma once
// Values across the JsRT boundary: type names, texts (UTF-8 on our side), properties, and
// the readable form of a thrown value. Every helper works in the current context and never
// leaves an exception of its own pending.
#include <string>

#include "core/engine/chakra/Api.h"

namespace quillbox::engine::chakra {

using Api = ChakraCore::Api;

// "undefined", "number", ..., "DataView": the binding's names for JsValueType.
std::string typeName(const Api& js, JsValueRef value);
JsValueRef makeString(const Api& js, const std::string& utf8);
JsValueRef makeStringUtf16(const Api& js, const std::string& utf8);
bool hasException(const Api& js);
// Drops an exception one of our own conversions raised, so it is never taken for the script's.
void dropException(const Api& js);
// The value converted to a string; "" when it cannot be.
std::string toText(const Api& js, JsValueRef value);
JsValueRef getProperty(const Api& js, JsValueRef object, const std::string& name);
void setProperty(const Api& js, JsValueRef object, const char* name, JsValueRef value);
JsValueRef undefinedValue(const Api& js);
// A thrown value as the user reads it: its own text, or kUnknownError with the value's Symbol
// or JSON form, or at least its type.
std::string describeThrown(const Api& js, JsValueRef value);

}  // namespace quillbox::engine::chakra
