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

const std::string& transformShims() {
    static const std::string script = asset("js/transform-es5.js");
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

// The listing helper, QUILLBOX.listing, added after the JSON support script of a load. It
// remembers the listed globals (functions and objects, in the global object's order) and
// hands back only what changed since it was last asked, so listing after every module costs
// what that module changed. Objects are held by number for their members, which are read
// when someone wants them.
//
// Values are read as properties of the global object and classified by their own type. A
// string value is never run as code: a global holding text is data, not a function.
const char* const kListingHelperScript =
    "QUILLBOX.listing = (function () {"
    "var g = (function () { return this; })();"
    // What the last answer listed, by position; and each object's number, by name, which
    // stays while the name holds the same object, wherever the engine puts it in its order.
    "var names = [], kinds = [], ids = [], numbered = {}, held = [];"
    "function ownNames(e) {" QB_OWN_NAMES("e") "return nameArr; }"
    "function numberOf(name, value) {"
    " var slot = numbered['$' + name];"
    " if (slot && slot.value === value) return slot.id;"
    " held.push(value);"
    " numbered['$' + name] = {value: value, id: held.length - 1};"
    " return held.length - 1;"
    "}"
    // The names listed before keep their places, and new ones follow in the engine's order:
    // for an engine whose own order moves names about as others are added.
    "function inPlaceOf(now) {"
    " var at = {}, placed = [], i, key;"
    " for (i = 0; i < now.length; i++) at['$' + now[i][0]] = now[i];"
    " for (i = 0; i < names.length; i++) {"
    "  key = '$' + names[i];"
    "  if (at[key]) { placed.push(at[key]); at[key] = null; }"
    " }"
    " for (i = 0; i < now.length; i++) if (at['$' + now[i][0]]) placed.push(now[i]);"
    " return placed;"
    "}"
    "var api = {"
    " keepOrder: false,"
    " changes: function (fresh) {"
    "  if (fresh) { names = []; kinds = []; ids = []; }"
    "  var all = ownNames(g), now = [], out = [], i, name, value, kind;"
    "  for (i = 0; i < all.length; i++) {"
    "   name = all[i];"
    "   if (name == 'QUILLBOX') continue;"
    "   try {"
    "    value = g[name];"
    "    if (!value) continue;"
    "    kind = typeof value == 'function' ? 1 :"
    "     typeof value == 'object' && name != '_a' && name != '$$' ? 2 : 0;"
    "   } catch (ex) { continue; }"
    "   if (kind) now.push([name, kind, kind == 2 ? numberOf(name, value) : -1]);"
    "  }"
    "  if (api.keepOrder) now = inPlaceOf(now);"
    "  for (i = 0; i < now.length; i++) {"
    "   if (names[i] !== now[i][0] || kinds[i] !== now[i][1] || ids[i] !== now[i][2]) {"
    "    names[i] = now[i][0]; kinds[i] = now[i][1]; ids[i] = now[i][2];"
    "    out.push([i, now[i][0], now[i][1], now[i][2]]);"
    "   }"
    "  }"
    "  names.length = now.length; kinds.length = now.length; ids.length = now.length;"
    "  return QUILLBOX.JSON.stringify({count: now.length, changes: out});"
    " },"
    " members: function (id) {"
    "  var e = held[id];"
    "  return QUILLBOX.JSON.stringify(e ? ownNames(e) : []);"
    " }"
    "};"
    "return api;"
    "})();";

const char* const kListingChangesScript = "QUILLBOX.listing.changes()";
const char* const kListingEverythingScript = "QUILLBOX.listing.changes(1)";
const char* const kListingMembersPrefix = "QUILLBOX.listing.members(";

const char* const kLogTestScript =
    "(typeof(QUILLBOX)=='undefined' ||typeof(QUILLBOX.log)=='undefined' ||!!QUILLBOX.log.length==0)?1:0";

#undef QB_OWN_NAMES

std::string describedValueScript(const std::string& expression) {
    return "(function () { var v = (" + expression +
           "\n); return typeof v + ':' + (v !== null && typeof v === 'object' ? QUILLBOX.JSON.stringify(v) : String(v)); "
           "})()";
}

}  // namespace quillbox::engine
