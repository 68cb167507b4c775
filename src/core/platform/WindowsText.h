#pragma once
// UTF-8 <-> the UTF-16 of the Win32 calls, and a Win32 error as the text a user reads. For
// the Windows implementations of the ports (the *.win32.cpp files) only.
#include <string>
#include <string_view>

#include "core/text/Text.h"

namespace quillbox::platform {

inline std::wstring wide(std::string_view utf8) {
    const std::u16string u = text::utf8ToUtf16(utf8);
    return std::wstring(u.begin(), u.end());
}

inline std::string narrow(std::wstring_view utf16) {
    return text::utf16ToUtf8(std::u16string(utf16.begin(), utf16.end()));
}

// The reason for a Win32 error code in the words the Linux build uses for the same cause
// (tests and users see one text), else the system's own message.
std::string errorText(unsigned long code);

}  // namespace quillbox::platform
