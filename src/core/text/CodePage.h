#pragma once
// The conversion between UTF-8 and code page 936 as GB18030, the system's part of Text.h:
// iconv on Linux, the Win32 code page calls on Windows.
#include <string>
#include <string_view>

namespace quillbox::text::codepage {

// Well-formed UTF-8 -> GB18030; a character the code page lacks becomes "?".
std::string utf8ToGb18030(std::string_view utf8);
// GB18030 -> UTF-8; bytes that form no character become U+FFFD.
std::string gb18030ToUtf8(std::string_view bytes);
// "" when the system converts all of GB18030; else what stands in for it and what that
// costs, for the user to read.
std::string limitation();

}  // namespace quillbox::text::codepage
