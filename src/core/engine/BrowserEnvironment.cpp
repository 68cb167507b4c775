#include "core/engine/BrowserEnvironment.h"

#include <set>

#include "core/engine/ChakraCore.h"
#include "core/json/JsonDocument.h"
#include "core/platform/Assets.h"
#include "core/platform/FileIO.h"
#include "core/platform/Paths.h"

namespace quillbox::engine {
namespace {

std::string builtIn(const char* name) {
    const auto found = assets::find(name);
    return found ? std::string(*found) : std::string();
}

constexpr const char* kProfileMark = "/*@profile*/{}";
constexpr const char* kOptionsMark = "/*@options*/{}";

void replaceOnce(std::string& text, const std::string& mark, const std::string& with) {
    const std::size_t at = text.rfind(mark);
    if (at != std::string::npos)
        text.replace(at, mark.size(), with);
}

}  // namespace

const std::string& defaultBrowserProfile() {
    static const std::string profile = builtIn("browser/chrome-desktop.json");
    return profile;
}

bool checkBrowserProfile(const std::string& json, std::string* error) {
    auto refuse = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    JsonDocument doc;
    const JsonParseResult parsed = doc.parse(json, true);
    if (!parsed.ok)
        return refuse("the profile is not JSON (stopped at character " + std::to_string(parsed.position) + ")");
    if (doc.kind() != JsonKind::Object)
        return refuse("the profile is not a JSON object");
    for (const char* part : {"navigator", "screen", "window", "location", "document", "canvas", "webgl", "storage"}) {
        const JsonKind kind = doc.kind(part);
        if (kind != JsonKind::None && kind != JsonKind::Object)
            return refuse(std::string("the profile's \"") + part + "\" is not an object");
    }
    if (doc.kind("location.href") != JsonKind::None) {
        const std::string href = doc.kind("location.href") == JsonKind::String ? doc.string("location.href") : "";
        const std::size_t colon = href.find("://");
        if (colon == std::string::npos || colon == 0)
            return refuse("the profile's location.href is not an absolute address: '" + href + "'");
    }
    return true;
}

std::string browserModuleText(const std::string& profileJson) {
    std::string text = builtIn("browser/browser-env.js");
    // The profile goes in as the JSON reader wrote it back: one object, nothing else, with
    // every character outside ASCII escaped (U+2028 ends a line in old JavaScript).
    JsonDocument profile;
    profile.parse(profileJson, true);
    std::string json = profile.toJson("", true, true);
    // In JSON text these two can stand only inside strings, where an escape means the same.
    for (const auto& [raw, escaped] : {std::pair<std::string, std::string>{"\xE2\x80\xA8", "\\u2028"},
                                       std::pair<std::string, std::string>{"\xE2\x80\xA9", "\\u2029"}})
        for (std::size_t at = json.find(raw); at != std::string::npos; at = json.find(raw, at + escaped.size()))
            json.replace(at, raw.size(), escaped);
    replaceOnce(text, kProfileMark, json);
    std::string flags = "{sourceName: '";
    flags += kBrowserModuleName;
    flags += "'}";
    replaceOnce(text, kOptionsMark, flags);
    return text;
}

std::string browserLogScript(const std::vector<std::string>& codes) {
    JsonDocument watch;
    watch.parse(builtIn("browser/globals.json"), true);
    if (watch.kind() != JsonKind::Array)
        watch = JsonDocument::makeArray();
    for (const std::string& code : codes)
        for (const std::string& word : codeWords(code))
            watch.append("", JsonDocument::makeString(word));
    return "QUILLBOX.browserLog = {watch: " + watch.toJson("", false, true) + "};";
}

std::vector<std::string> codeWords(const std::string& code) {
    static const std::set<std::string> keywords = {
        "break", "case", "catch", "class", "const", "continue", "debugger", "default", "delete", "do", "else",
        "export", "extends", "false", "finally", "for", "function", "if", "import", "in", "instanceof", "let",
        "new", "null", "return", "super", "switch", "this", "throw", "true", "try", "typeof", "var", "void",
        "while", "with", "yield", "async", "await", "of", "static", "get", "set", "undefined", "arguments"};
    const auto wordChar = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
    };
    std::set<std::string> seen;
    std::vector<std::string> words;
    char lastSignificant = 0;
    for (std::size_t i = 0; i < code.size();) {
        const char c = code[i];
        if (code.compare(i, 2, "//") == 0) {
            i = code.find('\n', i);
            i = i == std::string::npos ? code.size() : i;
        } else if (code.compare(i, 2, "/*") == 0) {
            const std::size_t end = code.find("*/", i + 2);
            i = end == std::string::npos ? code.size() : end + 2;
        } else if (c == '"' || c == '\'' || c == '`') {
            for (++i; i < code.size() && code[i] != c; ++i)
                if (code[i] == '\\')
                    ++i;
            ++i;
            lastSignificant = c;
        } else if (c >= '0' && c <= '9') {
            while (i < code.size() && (wordChar(code[i]) || code[i] == '.'))
                ++i;  // a number, 1e5 and 0x1f included
            lastSignificant = '0';
        } else if (wordChar(c)) {
            const std::size_t start = i;
            while (i < code.size() && (wordChar(code[i]) || static_cast<unsigned char>(code[i]) >= 0x80))
                ++i;
            std::string word = code.substr(start, i - start);
            if (lastSignificant != '.' && !keywords.count(word) && seen.insert(word).second)
                words.push_back(std::move(word));
            lastSignificant = 'a';
        } else {
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                lastSignificant = c;
            ++i;
        }
    }
    return words;
}

bool hasBrowserModule(const ProjectStore& store, const std::string& project) {
    const std::vector<std::string> modules = store.moduleNames(project);
    return !modules.empty() && modules.front() == kBrowserModuleName;
}

bool putBrowserModuleFirst(ProjectStore& store, const std::string& project, const std::string& text) {
    if (!store.hasProject(project))
        return false;
    ProjectTree& tree = store.tree();
    const NodeId selected = tree.selected();
    const int current = store.currentPagePosition();
    NodeId node = store.moduleNode(project, kBrowserModuleName);
    if (node == kNoNode) {
        for (NodeId p : tree.topLevel())
            if (tree.text(p) == project)
                tree.select(p);
        node = store.addModuleCore(kBrowserModuleName, text);
        if (node == kNoNode) {
            tree.select(selected);
            return false;
        }
    } else if (const int position = store.findPage(project, kBrowserModuleName); position != 0) {
        store.page(position)->setText(text);
    }
    for (std::size_t i = store.moduleCount(project); i > 0 && !hasBrowserModule(store, project); --i) {
        tree.select(node);
        store.moveModuleUp();
    }
    tree.select(selected);
    if (current > 0)
        store.showPage(current);
    return hasBrowserModule(store, project);
}

const std::string& capturePageText() {
    static const std::string page = builtIn("browser/capture.html");
    return page;
}

bool writeCapturePage(const std::string& path, std::string* error) {
    return files::writeAtomically(path, capturePageText(), error);
}

std::string capturePagePath() { return paths::join(paths::homeDirectory(), kCapturePageFileName); }

std::vector<AccessRow> parseAccessLog(const std::string& json) {
    std::vector<AccessRow> rows;
    JsonDocument doc;
    if (json.empty() || !doc.parse(json, true).ok || doc.kind() != JsonKind::Array)
        return rows;
    for (std::size_t i = 0; i < doc.count(); ++i) {
        const JsonDocument row = doc.at("", i);
        if (row.kind() != JsonKind::Array || row.count() != 5)
            return {};
        rows.push_back({row.at("", 0).string(), row.at("", 1).string(), row.at("", 2).string(),
                        row.at("", 3).integer(), placeOfFrame(row.at("", 4).string())});
    }
    return rows;
}

std::string placeOfFrame(const std::string& where) {
    // Expressions and the program's own scripts run under the engine's default name.
    const std::string unnamed = std::string(ChakraCore::kScriptUrl) + ":";
    if (where.rfind(unnamed, 0) == 0)
        return std::string(kExpressionPlace) + ":" + where.substr(unnamed.size());
    return where;
}

std::string tableCell(const std::string& text) {
    std::string out;
    for (const char c : text)
        out += c == '\t' ? std::string("\\t") : c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r")
                                                                                    : std::string(1, c);
    return out;
}

std::string accessTableText(const std::vector<AccessRow>& rows) {
    const auto cell = tableCell;
    std::string out = "对象\t属性\t值\t次数\t首次位置\n";
    for (const AccessRow& row : rows)
        out += cell(row.object) + "\t" + cell(row.property) + "\t" + cell(row.value) + "\t" +
               std::to_string(row.count) + "\t" + cell(row.where) + "\n";
    return out;
}

}  // namespace quillbox::engine
