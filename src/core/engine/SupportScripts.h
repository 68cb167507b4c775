#pragma once
// The scripts the program feeds to its engines.
#include <string>

namespace quillbox::engine {

// Creates the global QUILLBOX with QUILLBOX.JSON (stringify, parse) and QUILLBOX.log = [].
const std::string& jsonSupportScript();
// Defines jsmin(comment, input, level), ysjs(str) and js_beautify(source, options).
const std::string& transformLibrary();
// The native engine's JScript profile, run before any other code after every reset.
const std::string& jscriptProfile();
// The generated list behind it: {"source": ..., "entries": [{"name", "owner", "member",
// "present", "ie"}]} for every built-in JScript 5.7 has or lacks.
const std::string& jscriptBuiltins();

// Returns the JSON text {"fun_arr": [...], "obj_arr": [...]} of the global functions and
// objects, leaving out QUILLBOX, and _a and $$ among the objects.
extern const char* const kGlobalListingScript;
// Prefix of the member listing: append an object's name and ")" to get the JSON array of
// that object's own property names.
extern const char* const kMemberListingPrefix;
// "1" when there is nothing in QUILLBOX.log, "0" when there is.
extern const char* const kLogTestScript;

}  // namespace quillbox::engine
