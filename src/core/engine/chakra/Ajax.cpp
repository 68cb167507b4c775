// `$$.ajax(options)`: a synchronous HTTP request through HttpClient with the options' checks
// and texts, ended by the engine's stop while it waits.
#include <memory>

#include "core/engine/ChakraCore.h"
#include "core/engine/chakra/Values.h"
#include "core/net/HttpClient.h"

namespace quillbox::engine {

using namespace chakra;

void* ChakraCore::ajaxHandler(void*, bool, void** args, unsigned short argc, void* state) {
    return static_cast<ChakraCore*>(state)->ajax(args, argc);
}

void* ChakraCore::ajax(void** args, unsigned short argc) {
    const Api* js = api();
    if (!js)
        return nullptr;
    auto refuse = [&](const char* message) { return makeString(*js, message); };
    JsValueRef options = argc > 1 ? args[1] : nullptr;
    if (!options || typeName(*js, options) != "object")
        return refuse("parmas error");

    // A member that is absent (or undefined) is not given.
    auto member = [&](const char* name, const char* wanted, bool& given) -> JsValueRef {
        JsValueRef value = getProperty(*js, options, name);
        const std::string type = value ? typeName(*js, value) : "undefined";
        given = type != "undefined";
        return given && type == wanted ? value : nullptr;
    };
    bool given = false;
    JsValueRef url = member("url", "string", given);
    if (!url)
        return refuse("url error");
    // An optional text member: when absent `out` keeps its value; of another type it refuses.
    auto optionalText = [&](const char* name, std::string& out) {
        bool present = false;
        JsValueRef value = member(name, "string", present);
        if (present && !value)
            return false;
        if (value)
            out = toText(*js, value);
        return true;
    };
    std::string method;
    if (!optionalText("type", method))
        return refuse("type error");
    std::string cookies;
    if (!optionalText("cookies", cookies))
        return refuse("cookies error");
    JsValueRef headers = member("headers", "object", given);
    if (given && !headers)
        return refuse("headersObject error");
    std::string data;
    if (!optionalText("data", data))
        return refuse("data error");
    JsValueRef success = member("success", "function", given);
    if (given && !success)
        return refuse("successFunction error");
    JsValueRef failure = member("error", "function", given);
    if (given && !failure)
        return refuse("errorFunction error");
    std::string code = "gbk";
    if (!optionalText("code", code))
        return refuse("string error");

    auto http = std::make_unique<net::HttpClient>(net::HttpTransport::WinInet);
    http->setAutoHeaders();
    http->open(method, toText(*js, url));
    if (!cookies.empty())
        http->setCookies(cookies);
    if (headers) {
        JsValueRef names = nullptr;
        js->JsGetOwnPropertyNames(headers, &names);
        for (int k = 0; names; ++k) {
            JsValueRef index = nullptr;
            js->JsIntToNumber(k, &index);
            JsValueRef nameValue = nullptr;
            js->JsGetIndexedProperty(names, index, &nameValue);
            const std::string name = toText(*js, nameValue);
            const std::string value = toText(*js, getProperty(*js, headers, name));
            if (name.empty() || name == "undefined" || value.empty() || value == "undefined")
                break;
            http->setHeader(name, value);
        }
    }
    {
        std::lock_guard lock(stopMutex_);
        activeRequest_ = http.get();
        if (stopRequested_)
            http->abort();
    }
    http->send(data);
    {
        std::lock_guard lock(stopMutex_);
        activeRequest_ = nullptr;
    }

    std::string response;
    if (code == "gbk") {
        response = http->responseText();
    } else if (code == "byte") {
        const std::string bytes = http->responseBytes();
        response.reserve(bytes.size() * 4 + 2);
        response.push_back('[');
        for (size_t k = 0; k < bytes.size(); ++k) {
            if (k)
                response.push_back(',');
            response.append(std::to_string(static_cast<unsigned char>(bytes[k])));
        }
        response.push_back(']');
    } else {
        response = http->responseTextUtf8();
    }
    const int status = http->statusCode();
    http.reset();

    JsValueRef callback = status == 200 ? success : failure;
    if (callback) {
        JsValueRef call[] = {global_, makeString(*js, response)};
        JsValueRef result = nullptr;
        js->JsCallFunction(callback, call, 2, &result);
    }
    return undefinedValue(*js);
}

}  // namespace quillbox::engine
