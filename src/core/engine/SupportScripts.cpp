#include "core/engine/SupportScripts.h"

#include "core/platform/Assets.h"

namespace quillbox::engine {
namespace {
std::string asset(const char* name) {
    auto bytes = assets::find(name);
    return bytes ? std::string(*bytes) : std::string();
}
}  // namespace

const std::string& jsonSupportScript() {
    static const std::string script = asset("js/json-support.js");
    return script;
}

const std::string& jscriptProfile() {
    static const std::string script = asset("js/jscript-profile.js");
    return script;
}

const std::string& jscriptBuiltins() {
    static const std::string data = asset("js/jscript-builtins.json");
    return data;
}

const std::string& transformLibrary() {
    static const std::string script = asset("js/transform.js");
    return script;
}

// The own property names of e: for-in with hasOwnProperty, plus the names that old
// engines' for-in skips when an object defines them itself.
#define QB_OWN_NAMES(object)                                                                           \
    "var nameArr = [], own = Object.prototype.hasOwnProperty, k, i;"                                   \
    "for (k in " object ") if (own.call(" object ", k)) nameArr.push(k);"                              \
    "var hidden = ['toString', 'toLocaleString', 'valueOf', 'hasOwnProperty', 'isPrototypeOf',"        \
    " 'propertyIsEnumerable', 'constructor'];"                                                         \
    "for (i = 0; i < hidden.length; i++) {"                                                            \
    " if (own.call(" object ", hidden[i])) {"                                                          \
    "  for (k = 0; k < nameArr.length && nameArr[k] !== hidden[i]; k++) {}"                            \
    "  if (k == nameArr.length) nameArr.push(hidden[i]);"                                              \
    " }"                                                                                               \
    "}"

// Values are read as properties of the global object and classified by their own type. A
// string value is never run as code: a global holding text is data, not a function.
const char* const kGlobalListingScript =
    "(function () {"
    "var g = (function () { return this; })();"
    QB_OWN_NAMES("g")
    "var fun_arr = [], obj_arr = [], name, value, type;"
    "for (i = 0; i < nameArr.length; i++) {"
    " name = nameArr[i];"
    " if (name == 'QUILLBOX') continue;"
    " try {"
    "  value = g[name];"
    "  if (!value) continue;"
    "  type = typeof value;"
    "  if (type == 'function') fun_arr.push(name);"
    "  else if (type == 'object' && name != '_a' && name != '$$') obj_arr.push(name);"
    " } catch (ex) {}"
    "}"
    "return QUILLBOX.JSON.stringify({fun_arr: fun_arr, obj_arr: obj_arr});"
    "})()";

const char* const kMemberListingPrefix =
    "(function(e) {"
    QB_OWN_NAMES("e")
    "return QUILLBOX.JSON.stringify(nameArr);"
    "})(";

const char* const kLogTestScript =
    "(typeof(QUILLBOX)=='undefined' ||typeof(QUILLBOX.log)=='undefined' ||!!QUILLBOX.log.length==0)?1:0";

#undef QB_OWN_NAMES

}  // namespace quillbox::engine
