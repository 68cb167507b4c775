#pragma once
// Text at the program's boundaries. Inside, text is UTF-8 in std::string. Wherever the
// system speaks code page 936 (files, generated E code, the E image, byte counts) we use
// GB18030: GBK text comes out byte for byte the same, and characters outside GBK survive
// as four-byte codes instead of turning into "?".
#include <cstddef>
#include <string>
#include <string_view>

namespace quillbox::text {

// UTF-8 -> GB18030 bytes. Ill-formed UTF-8 sequences become "?".
std::string toGb18030(std::string_view utf8);

// GB18030 bytes -> UTF-8. Bytes that form no GB18030 character become U+FFFD.
std::string fromGb18030(std::string_view bytes);

bool isValidUtf8(std::string_view bytes);
bool hasNonAscii(std::string_view bytes);
// The text with every ill-formed UTF-8 sequence replaced by U+FFFD.
std::string replaceInvalidUtf8(std::string_view bytes);

// The text as a double-quoted JSON string that is also a script string literal any engine
// reads back as the same text: quote, backslash and every control character escaped (no
// raw control byte ever), and U+2028/U+2029 as \u escapes. "/" is left as it is; ill-formed
// UTF-8 becomes U+FFFD.
std::string quoteJson(std::string_view text);

// The reading rule for files: valid UTF-8 holding non-ASCII bytes, with or without a
// byte-order mark, reads as UTF-8 (the mark removed); anything else as GB18030.
std::string decodeFileText(std::string_view bytes);

// Length in bytes of the text in code page 936 (GB18030).
std::size_t gbkLength(std::string_view utf8);

// UTF-8 <-> UTF-16. Ill-formed input becomes U+FFFD; lone surrogates likewise.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

// Appends code point cp as UTF-8.
void appendUtf8(std::string& out, char32_t cp);

// The text with its control characters (C0, DEL and the C1 range U+0080-U+009F) written
// as "\xNN" (C1 as "\u00NN"), fit to print on a terminal; everything else as it is.
std::string escapeControls(std::string_view utf8);

}  // namespace quillbox::text
