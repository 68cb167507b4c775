#pragma once
// The browser environment: a module of its own (assets/browser/browser-env.js) that defines
// window, document, navigator and the rest for site code, filled from a browser profile
// (JSON, collected by the capture page in the browser whose identity the code must see).
// A project carries it as its first module, named kBrowserModuleName, so loads, the E code
// and exports all include it like any other module.
#include <string>
#include <vector>

#include "core/project/ProjectStore.h"

namespace quillbox::engine {

inline constexpr const char* kBrowserModuleName = "浏览器环境";
inline constexpr const char* kCapturePageFileName = "Js_Capture.html";

// The profile that ships: a common desktop Chrome (UTF-8 JSON text).
const std::string& defaultBrowserProfile();

// Checks a profile: a JSON object whose navigator, screen, window, location, document,
// canvas, webgl and storage members are objects when present, and whose location.href,
// when given, is an absolute address. False with the reason in `error`.
bool checkBrowserProfile(const std::string& json, std::string* error = nullptr);

// The names a script may read as globals: its words outside comments and strings that do
// not follow a ".", without the language's own keywords.
std::vector<std::string> codeWords(const std::string& code);

// The module's text for a checked profile.
std::string browserModuleText(const std::string& profileJson);

// Run before the modules of a load (ChakraCore), it turns the access log on for the
// environment the load brings: every browser object's reads, and the reads of the globals a
// browser has, or the code names, that nothing defines (the words of `codes`).
std::string browserLogScript(const std::vector<std::string>& codes);

// Whether the project's first module is the browser environment.
bool hasBrowserModule(const ProjectStore& store, const std::string& project);

// Makes the environment the project's first module with this text: added when missing,
// moved first and given the text when present. The selection and the current page stay
// where they were. False when the module could not be added (the store told the user).
bool putBrowserModuleFirst(ProjectStore& store, const std::string& project, const std::string& text);

// The capture page (UTF-8 HTML): opened in a browser, it shows that browser's profile as
// JSON to copy, and leaves it in `window.quillboxProfile`.
const std::string& capturePageText();
// Writes it; false with the reason in `error`.
bool writeCapturePage(const std::string& path, std::string* error = nullptr);
// Where the command writes it: Js_Capture.html in the home directory, beside the test page.
std::string capturePagePath();

// Scripts the loader runs where the environment is loaded.
// "1" when the engine holds the environment.
inline constexpr const char* kBrowserPresentScript = "(typeof QUILLBOX_BROWSER=='object'&&QUILLBOX_BROWSER)?1:0";
// After a load and after each evaluation: pending writes taken in, due timers run (the
// answer is how many ran).
inline constexpr const char* kBrowserSettleScript = "QUILLBOX_BROWSER.settle()";
inline constexpr const char* kBrowserAccessLogScript =
    "(typeof QUILLBOX_BROWSER=='object'&&QUILLBOX_BROWSER&&QUILLBOX_BROWSER.logging)?QUILLBOX_BROWSER.accessLog():''";

// One row of the access log: a read of a browser object's property (or of a global that
// does not exist: object "window"), in order of first use.
struct AccessRow {
    std::string object;    // "navigator", "document.createElement(\"canvas\")", "window"
    std::string property;
    std::string value;     // what the code was given, "undefined" when nothing
    long long count = 0;
    std::string where;     // "module:line" of the first read ("求值:line" for an expression); "" unknown
    bool missing() const { return value == "undefined"; }
    bool operator==(const AccessRow&) const = default;
};

// The rows of the environment's answer to kBrowserAccessLogScript; empty when unreadable.
std::vector<AccessRow> parseAccessLog(const std::string& json);

// "module:line" as the log shows it: expressions (run under the engine's default name) are
// kExpressionPlace and the line.
inline constexpr const char* kExpressionPlace = "求值";
std::string placeOfFrame(const std::string& where);
// A cell of a copied table: its tabs and line ends written as escapes, so it never breaks the
// table.
std::string tableCell(const std::string& text);

// The table as the user copies it: a header line, then one tab-separated line per row.
std::string accessTableText(const std::vector<AccessRow>& rows);

}  // namespace quillbox::engine
