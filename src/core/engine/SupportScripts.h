#pragma once
// The scripts the program feeds to its engines.
#include <string>

namespace quillbox::engine {

// Creates the global QUILLBOX with QUILLBOX.JSON (stringify, parse) and QUILLBOX.log = [].
const std::string& jsonSupportScript();
// Defines jsmin(comment, input, level), ysjs(str) and js_beautify(source, options).
const std::string& transformLibrary();
// Object.assign, String.prototype.startsWith and the sticky flag where an engine lacks them:
// what the transform library uses beyond ES5 (the flag for speed).
const std::string& transformShims();
// The native engine's JScript profile, run before any other code after every reset.
const std::string& jscriptProfile();
// The generated list behind it: {"source": ..., "entries": [{"name", "owner", "member",
// "present", "ie"}]} for every built-in JScript 5.7 has or lacks.
const std::string& jscriptBuiltins();

// Defines QUILLBOX.listing, which lists the global functions and objects (leaving out
// QUILLBOX, and _a and $$ among the objects) by what changed since it was last asked:
//   QUILLBOX.listing.changes() -> {"count": N, "changes": [[index, name, kind, id], ...]}
// where the listing now holds N names, kind is 1 (function) or 2 (object), and id names the
// object for QUILLBOX.listing.members(id) -> JSON array of its own property names. With
// QUILLBOX.listing.keepOrder set, names keep the places they were first listed at and new
// ones follow, whatever order the engine gives them in.
extern const char* const kListingHelperScript;
extern const char* const kListingChangesScript;
// The same, as changes from an empty listing: for a caller that lost track.
extern const char* const kListingEverythingScript;
// Append the object's id and ")".
extern const char* const kListingMembersPrefix;
// A script whose value is the expression's as "type:text", objects as their JSON text
// (QUILLBOX.JSON), so that two runs' answers compare by content: the checks of converted and
// deobfuscated code against the original.
std::string describedValueScript(const std::string& expression);
// "1" when there is nothing in QUILLBOX.log, "0" when there is.
extern const char* const kLogTestScript;

}  // namespace quillbox::engine
