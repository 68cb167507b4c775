#include "core/text/CodePage.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace quillbox::text::codepage {
namespace {

constexpr UINT kGb18030 = 54936;
constexpr UINT kGbk = 936;

// GB18030 where the system has it; GBK (its two-byte part) where it does not (wine).
UINT codePage() {
    static const UINT page = IsValidCodePage(kGb18030) ? kGb18030 : kGbk;
    return page;
}

}  // namespace

std::string utf8ToGb18030(std::string_view utf8) {
    if (utf8.empty())
        return {};
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), units);
    // GB18030 takes no default character (every character has a code); GBK writes "?".
    const UINT page = codePage();
    const int n = WideCharToMultiByte(page, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(page, 0, wide.data(), units, out.data(), n, nullptr, nullptr);
    return out;
}

std::string gb18030ToUtf8(std::string_view bytes) {
    if (bytes.empty())
        return {};
    const UINT page = codePage();
    const int units = MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), units);
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, out.data(), n, nullptr, nullptr);
    return out;
}

std::string limitation() {
    if (codePage() == kGb18030)
        return {};
    return "this system has no code page 54936 (GB18030): GBK (936) stands in, so characters "
           "outside GBK are written as \"?\" and four-byte GB18030 codes are not read";
}

}  // namespace quillbox::text::codepage
