// `$$.ajax(options)`: a synchronous HTTP request through HttpClient with the options' checks
// and texts, ended by the engine's stop while it waits.
#include <cstdlib>
#include <memory>
#include <new>

#include "core/engine/ChakraCore.h"
#include "core/engine/chakra/Values.h"
#include "core/net/HttpClient.h"
#include "core/text/Text.h"

namespace quillbox::engine {

using namespace chakra;

void* ChakraCore::ajaxHandler(void*, bool, void** args, unsigned short argc, void* state) {
    // Nothing may unwind into the engine: a failed allocation anywhere on this path (a huge
    // request body, say) is an answer the script sees, not the end of the program.
    auto* engine = static_cast<ChakraCore*>(state);
    try {
        return engine->ajax(args, argc);
    } catch (const std::bad_alloc&) {
        const Api* js = api();
        return js ? makeString(*js, "out of memory") : nullptr;
    }
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
    // Optional whole numbers: the body cap in bytes (maxBytes) and the deadline of the whole
    // request in milliseconds (timeout); absent means the transport's default.
    auto optionalCount = [&](const char* name, long long& out) {
        bool present = false;
        JsValueRef value = member(name, "number", present);
        if (!present)
            return true;
        if (!value)
            return false;
        const std::string digits = toText(*js, value);
        char* end = nullptr;
        const long long n = std::strtoll(digits.c_str(), &end, 10);
        if (digits.empty() || !end || *end != '\0' || n < 0)
            return false;
        out = n;
        return true;
    };
    long long maxBytes = -1;
    if (!optionalCount("maxBytes", maxBytes))
        return refuse("maxBytes error");
    long long timeoutMs = -1;
    if (!optionalCount("timeout", timeoutMs) || timeoutMs > 24LL * 3600 * 1000)
        return refuse("timeout error");

    auto http = std::make_unique<net::HttpClient>(net::HttpTransport::WinInet);
    http->setAutoHeaders();
    http->setMaxResponseBytes(maxBytes);
    http->setOverallTimeout(static_cast<int>(timeoutMs));
    http->open(method, toText(*js, url));
    // A header or cookie text that would add lines of its own to the request is refused, and
    // nothing is sent.
    if (!cookies.empty() && !http->setCookies(cookies))
        return refuse("cookies refused: CR, LF or NUL in the cookie text");
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
            if (!http->setHeader(name, value) && http->lastError() == net::HttpError::InvalidHeader)
                return refuse(("header refused: \"" + text::escapeControls(name) +
                               "\" (a name must be a token, a value one line without CR, LF or NUL)")
                                  .c_str());
        }
    }
    {
        std::lock_guard lock(stopMutex_);
        activeRequest_ = http.get();
        if (stopRequested_)
            http->abort();
    }
    // The stop must never reach a request that is gone, however the send ends.
    struct Detach {
        ChakraCore& engine;
        ~Detach() {
            std::lock_guard lock(engine.stopMutex_);
            engine.activeRequest_ = nullptr;
        }
    };
    bool sent = false;
    {
        Detach detach{*this};
        sent = http->send(data);
    }
    // What went wrong, for the error callback's second argument: the exchange's failure
    // (time-out, size cap, malformed head, no connection) or a malformed header line.
    std::string problem = sent ? http->responseProblem() : http->lastErrorText();

    std::string response;
    try {
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
    } catch (const std::bad_alloc&) {
        response = std::string();
        response.shrink_to_fit();
        problem = "out of memory for the response";
    }
    const int status = http->statusCode();
    http.reset();

    JsValueRef callback = status == 200 && problem.empty() ? success : failure;
    if (callback) {
        JsValueRef text = makeString(*js, response);
        if (!text) {  // the engine could not hold the text
            text = makeString(*js, "");
            problem = "out of memory for the response";
        }
        JsValueRef call[] = {global_, text, makeString(*js, problem)};
        JsValueRef result = nullptr;
        js->JsCallFunction(callback, call, 3, &result);
    }
    return undefinedValue(*js);
}

}  // namespace quillbox::engine
