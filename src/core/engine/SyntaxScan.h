#pragma once
// A quick look at code before the syntax gate parses it: whether the code could use any
// syntax newer than what the engine's language has. Code that cannot passes without a parse.
//
// The scan reads tokens roughly (comments, strings, regular expressions, which brackets open
// blocks and which object literals) and answers "maybe" whenever it is unsure, so "no" is
// always right: only then is the parse skipped.
#include <string_view>

namespace quillbox::engine {

// True when the code might use syntax added after ES2017 (or a rest parameter with a
// pattern), or when the scan cannot tell.
bool mayUseSyntaxAfterEs2017(std::string_view code);

// True when the code might use syntax that JScript 5.7 (ES3) lacks: anything of ES5 and later,
// getters and setters, trailing commas in object literals and argument lists, JScript's
// reserved words as property names; or when the scan cannot tell.
bool mayUseSyntaxAfterEs3(std::string_view code);

}  // namespace quillbox::engine
