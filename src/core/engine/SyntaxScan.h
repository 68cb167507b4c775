#pragma once
// A quick look at code before the syntax gate parses it: whether the code could use any
// syntax newer than ES2017. Code that cannot is ChakraCore 1.11's without a parse.
//
// The scan reads tokens roughly (comments, strings, regular expressions) and answers "maybe"
// whenever it is unsure, so "no" is always right: only then is the parse skipped.
#include <string_view>

namespace quillbox::engine {

// True when the code might use syntax added after ES2017 (or a rest parameter with a
// pattern), or when the scan cannot tell.
bool mayUseSyntaxAfterEs2017(std::string_view code);

}  // namespace quillbox::engine
