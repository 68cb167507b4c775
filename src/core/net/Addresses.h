#pragma once
// Every web address the program uses, in one place, so that moving a server is one edit.
#include <string_view>

namespace quillbox::addresses {

// The download page of the ChakraCore class module for E programs, named in the code that
// the "ChakraCore类调用" call style generates. A placeholder until the page is published.
inline constexpr std::string_view kChakraCoreModuleDownload = "https://www.example.com/quillbox/chakracore-module";

}  // namespace quillbox::addresses
