#pragma once
// JScript's conditional compilation for the native engine: `@cc_on`, `/*@ ... @*/` and `//@`
// comments that become code once it is on, `@if (...)`/`@elif`/`@else`/`@end`, `@set @name =
// value`, and the variables (`@_jscript`, `@_jscript_version`, `@_win32`, ...).
//
// The result has every line where the source has it: what the directives leave out becomes
// spaces (one per character), so lines and columns of errors stay those of the user's text.
// Code without a directive is returned as it is.
#include <string>

namespace quillbox::engine {

// The text the engine compiles for `code`. Throws nothing: a directive it cannot read (an
// unbalanced `@if`, a condition it cannot evaluate) is left in place for the engine to refuse.
std::string applyConditionalCompilation(const std::string& code);

}  // namespace quillbox::engine
