#include "core/engine/chakra/Values.h"

#include "core/text/Text.h"

namespace quillbox::engine::chakra {

namespace {

const char* const kTypeNames[] = {"undefined", "null", "number", "string", "boolean", "object", "function",
                                  "error", "array", "symbol", "array buffer", "typed array", "DataView"};

}  // namespace

std::string typeName(const Api& js, JsValueRef value) {
    JsValueType type = JsUndefined;
    if (js.JsGetValueType(value, &type) != JsNoError)
        return "undefined";
    const int index = static_cast<int>(type);
    return index >= 0 && index < 13 ? kTypeNames[index] : "object";
}

JsValueRef makeString(const Api& js, const std::string& utf8) {
    JsValueRef value = nullptr;
    js.JsCreateString(utf8.data(), utf8.size(), &value);
    return value;
}

JsValueRef makeStringUtf16(const Api& js, const std::string& utf8) {
    const std::u16string chars = text::utf8ToUtf16(utf8);
    JsValueRef value = nullptr;
    js.JsCreateStringUtf16(reinterpret_cast<const uint16_t*>(chars.data()), chars.size(), &value);
    return value;
}

bool hasException(const Api& js) {
    bool has = false;
    return js.JsHasException(&has) == JsNoError && has;
}

// Drops an exception that one of our own conversions raised, so that it is never taken
// for the script's.
void dropException(const Api& js) {
    if (!hasException(js))
        return;
    JsValueRef dropped = nullptr;
    js.JsGetAndClearException(&dropped);
}

// The value converted to a string, as UTF-8; "" when it cannot be (the conversion's own
// exception is dropped).
std::string toText(const Api& js, JsValueRef value) {
    if (!value)
        return {};
    JsValueRef string = nullptr;
    if (js.JsConvertValueToString(value, &string) != JsNoError || !string) {
        dropException(js);
        return {};
    }
    int length = 0;
    if (js.JsGetStringLength(string, &length) != JsNoError || length < 0)
        return {};
    std::u16string chars(static_cast<size_t>(length), u'\0');
    size_t written = 0;
    if (length && js.JsCopyStringUtf16(string, 0, length, reinterpret_cast<uint16_t*>(chars.data()), &written) !=
                      JsNoError)
        return {};
    chars.resize(written);
    return text::utf16ToUtf8(chars);
}

JsValueRef getProperty(const Api& js, JsValueRef object, const std::string& name) {
    JsPropertyIdRef id = nullptr;
    JsValueRef value = nullptr;
    if (js.JsCreatePropertyId(name.data(), name.size(), &id) != JsNoError)
        return nullptr;
    if (js.JsGetProperty(object, id, &value) != JsNoError)
        return nullptr;
    return value;
}

void setProperty(const Api& js, JsValueRef object, const char* name, JsValueRef value) {
    js.JsObjectSetProperty(object, makeString(js, name), value, false);
}

JsValueRef undefinedValue(const Api& js) {
    JsValueRef value = nullptr;
    js.JsGetUndefinedValue(&value);
    return value;
}

namespace {

// Calls fn with `this` and at most one argument; the string result, "" when there is none.
std::string callText(const Api& js, JsValueRef fn, JsValueRef self, JsValueRef argument) {
    if (!fn || typeName(js, fn) != "function")
        return {};
    JsValueRef call[] = {self, argument};
    JsValueRef result = nullptr;
    if (js.JsCallFunction(fn, call, argument ? 2 : 1, &result) != JsNoError) {
        dropException(js);
        return {};
    }
    return typeName(js, result) == "string" ? toText(js, result) : std::string();
}

}  // namespace

// A thrown value as the user reads it: its own text, or, when that is empty or cannot be
// made, kUnknownError with the value's Symbol or JSON form, or at least its type.
std::string describeThrown(const Api& js, JsValueRef value) {
    std::string text = toText(js, value);
    if (!text.empty())
        return text;
    const std::string type = typeName(js, value);
    JsValueRef global = nullptr;
    js.JsGetGlobalObject(&global);
    std::string form;
    if (type == "string") {
        form = "\"\"";
    } else if (type == "symbol") {
        JsValueRef symbol = getProperty(js, global, "Symbol");
        JsValueRef prototype = symbol ? getProperty(js, symbol, "prototype") : nullptr;
        form = callText(js, prototype ? getProperty(js, prototype, "toString") : nullptr, value, nullptr);
    } else {
        JsValueRef json = getProperty(js, global, "JSON");
        form = callText(js, json ? getProperty(js, json, "stringify") : nullptr, global, value);
    }
    return std::string(kUnknownError) + " (" + (form.empty() ? type : form) + ")";
}

}  // namespace quillbox::engine::chakra
