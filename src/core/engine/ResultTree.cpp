#include "core/engine/ResultTree.h"

#include "core/json/JsonDocument.h"
#include "core/text/Text.h"

namespace quillbox::engine {

namespace {

std::string pathLiteral(const std::vector<std::string>& path) {
    std::string literal = "[";
    for (std::size_t i = 0; i < path.size(); ++i)
        literal += (i ? "," : "") + text::quoteJson(path[i]);
    return literal + "]";
}

// Finds the value at the path (v), or leaves `missing` set.
const char* const kWalk =
    "var v = QUILLBOX.last, missing = false, i;"
    "for (i = 0; i < path.length; i++) {"
    "  if (v === null || (typeof v != 'object' && typeof v != 'function')) { missing = true; break; }"
    "  try { v = v[path[i]]; } catch (e) { missing = true; break; }"
    "}";

}  // namespace

std::string describeScript(const std::vector<std::string>& path) {
    return std::string("(function (path) {") + kWalk +
           "var has = Object.prototype.hasOwnProperty, text = Object.prototype.toString;"
           "function kind(x) {"
           "  if (x === null) return 'null';"
           "  if (typeof x == 'object' && text.call(x) == '[object Array]') return 'array';"
           "  return typeof x;"
           "}"
           "function count(x) { var c = 0, k; for (k in x) if (has.call(x, k)) c++; return c; }"
           "function preview(x) {"
           "  var t = kind(x), s;"
           "  if (t == 'string') return QUILLBOX.JSON.stringify(x.length > 200 ? x.substring(0, 200) + '\\u2026' : x);"
           "  if (t == 'array') return 'Array(' + x.length + ')';"
           "  if (t == 'function') { s = String(x); i = s.indexOf('\\n'); return i < 0 ? s : s.substring(0, i); }"
           "  if (t == 'object') return 'Object {' + count(x) + '}';"
           "  return String(x);"
           "}"
           "if (missing) return '';"
           "var out = {type: kind(v), preview: preview(v), entries: [], truncated: false};"
           "function add(key) {"
           "  if (out.entries.length >= " + std::to_string(kResultMembers) + ") { out.truncated = true; return false; }"
           "  var x, t, p;"
           "  try { x = v[key]; t = kind(x); p = preview(x); } catch (e) { t = 'error'; p = String(e && e.message); }"
           "  out.entries.push({key: key, type: t, preview: p, expandable: t == 'object' || t == 'array'});"
           "  return true;"
           "}"
           "var k;"
           "if (out.type == 'array') { for (k = 0; k < v.length; k++) if (!add(String(k))) break; }"
           "else if (out.type == 'object' || out.type == 'function') { for (k in v) if (has.call(v, k) && !add(k)) break; }"
           "return QUILLBOX.JSON.stringify(out);"
           "})(" + pathLiteral(path) + ")";
}

std::string jsonScript(const std::vector<std::string>& path) {
    return std::string("(function (path) {") + kWalk +
           "if (missing) return '';"
           "try { var s = QUILLBOX.JSON.stringify(v, null, 2); return typeof s == 'string' ? s : ''; }"
           "catch (e) { return ''; }"
           "})(" + pathLiteral(path) + ")";
}

bool parseObjectNode(const std::string& json, ObjectNode& node) {
    JsonDocument doc;
    if (json.empty() || !doc.parse(json, true).ok || doc.kind("entries") != JsonKind::Array)
        return false;
    node = ObjectNode();
    node.type = doc.text("type");
    node.preview = doc.text("preview");
    node.truncated = doc.kind("truncated") == JsonKind::Boolean && doc.boolean("truncated");
    for (std::size_t i = 0; i < doc.count("entries"); ++i) {
        const JsonDocument entry = doc.at("entries", i);
        node.entries.push_back(
            {entry.text("key"), entry.text("type"), entry.text("preview"), entry.kind("expandable") == JsonKind::Boolean && entry.boolean("expandable")});
    }
    return true;
}

}  // namespace quillbox::engine
