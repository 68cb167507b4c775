#include "core/text/CodePage.h"

#include <cerrno>
#include <iconv.h>

namespace quillbox::text::codepage {
namespace {

// Runs iconv over the whole input; on a byte it cannot convert it writes `bad` to the
// output and skips one input byte. `growth` bounds the output per input byte for valid
// input, so the output is allocated once.
std::string convert(const char* to, const char* from, std::string_view in, std::string_view bad, double growth) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(in);
    // The output goes through a small buffer into a string reserved once for the usual
    // size: no zero-filling of a worst-case buffer, no copy of a grown one.
    std::string out;
    out.reserve(static_cast<std::size_t>(static_cast<double>(in.size()) * growth) + 16);
    char buffer[1 << 16];
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, sizeof buffer - outLeft);
        if (rc != static_cast<std::size_t>(-1) || errno == E2BIG)
            continue;
        // EILSEQ or EINVAL: an unconvertible or truncated sequence
        out.append(bad);
        ++inPtr;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string utf8ToGb18030(std::string_view utf8) { return convert("GB18030", "UTF-8", utf8, "?", 2.0); }

std::string gb18030ToUtf8(std::string_view bytes) {
    return convert("UTF-8", "GB18030", bytes, "\xEF\xBF\xBD", 1.5);
}

std::string limitation() { return {}; }

}  // namespace quillbox::text::codepage
