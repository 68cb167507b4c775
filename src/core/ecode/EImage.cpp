#include "core/ecode/EImage.h"

#include <bit>
#include <cstring>
#include <limits>

#include "core/platform/Assets.h"
#include "core/text/Text.h"

namespace quillbox::ecode {
namespace {

// The name of the one constant the stored template holds, "文本常量" in code page 936.
constexpr std::string_view kTemplateConstantName = "\xCE\xC4\xB1\xBE\xB3\xA3\xC1\xBF";
constexpr char kTextValueType = 0x1A;
constexpr std::uint32_t kMaxLength = std::numeric_limits<std::uint32_t>::max();

// Header field offsets.
constexpr std::size_t kKeyAt = 0;
constexpr std::size_t kIndexAt = 36;
constexpr std::size_t kDataChecksumAt = 44;
constexpr std::size_t kDataLengthAt = 48;

std::uint32_t readU32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
}

void appendU32(std::string& out, std::uint32_t v) {
    const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char((v >> 24) & 0xFF)};
    out.append(b, 4);
}

void patchU32(std::string& out, std::size_t at, std::uint32_t v) {
    out[at] = char(v & 0xFF);
    out[at + 1] = char((v >> 8) & 0xFF);
    out[at + 2] = char((v >> 16) & 0xFF);
    out[at + 3] = char((v >> 24) & 0xFF);
}

// A bounds-checked reader over template bytes. Once a read runs past the end, `ok` stays
// false and every later read yields zeros or empty views, so callers check once at the end
// of a step.
class Cursor {
public:
    explicit Cursor(std::string_view bytes) : bytes_(bytes) {}

    std::string_view take(std::size_t n) {
        if (!ok || n > bytes_.size() - pos_) {
            ok = false;
            return {};
        }
        std::string_view v = bytes_.substr(pos_, n);
        pos_ += n;
        return v;
    }
    std::uint32_t u32() {
        std::string_view v = take(4);
        return ok ? readU32(v.data()) : 0;
    }
    std::uint16_t u16() {
        std::string_view v = take(2);
        return ok ? std::uint16_t(std::uint8_t(v[0]) | std::uint8_t(v[1]) << 8) : 0;
    }
    // Bytes up to the next zero byte, the zero consumed.
    std::string_view zeroTerminated() {
        if (!ok)
            return {};
        const std::size_t end = bytes_.find('\0', pos_);
        if (end == std::string_view::npos) {
            ok = false;
            return {};
        }
        std::string_view v = bytes_.substr(pos_, end - pos_);
        pos_ = end + 1;
        return v;
    }
    std::string_view rest() { return take(bytes_.size() - pos_); }
    std::size_t position() const { return pos_; }

    bool ok = true;

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

bool fitsU32(std::size_t n) { return n <= kMaxLength; }

// Stretches of the output whose checksum was taken while they were copied, so that a
// large value is read once rather than twice.
struct KnownChecksum {
    std::size_t at;
    std::size_t length;
    std::uint32_t sum;
};
using KnownChecksums = std::vector<KnownChecksum>;

// Appends bytes to out and notes their checksum. The copy goes in cache-sized pieces whose
// checksum is taken while they are still in cache; the pieces are a multiple of four
// bytes long, so their checksums combine without shifting.
void appendCounted(std::string& out, std::string_view bytes, KnownChecksums& known) {
    constexpr std::size_t kPiece = 64 * 1024;
    const std::size_t at = out.size();
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < bytes.size(); i += kPiece) {
        const std::string_view piece = bytes.substr(i, kPiece);
        out.append(piece);
        sum ^= eChecksum(piece);
    }
    known.push_back({at, bytes.size(), sum});
}

// A checksum taken at offset `at` of a larger run: byte i of it lands in byte
// (at + i) mod 4 of the run's checksum.
std::uint32_t shifted(std::uint32_t sum, std::size_t at) { return std::rotl(sum, static_cast<int>(8 * (at % 4))); }

// The checksum of out[from, from + length), using the stretches already counted.
std::uint32_t checksumOf(const std::string& out, std::size_t from, std::size_t length, const KnownChecksums& known) {
    const std::string_view all(out);
    std::uint32_t sum = 0;
    std::size_t done = from;
    for (const KnownChecksum& k : known) {
        if (k.at < done || k.at + k.length > from + length)
            continue;
        sum ^= shifted(eChecksum(all.substr(done, k.at - done)), done - from);
        sum ^= shifted(k.sum, k.at - from);
        done = k.at + k.length;
    }
    return sum ^ shifted(eChecksum(all.substr(done, from + length - done)), done - from);
}

// The system-information section: its u32 at offset 16 is set to 1, the rest copied.
bool rewriteSystemInfo(std::string_view data, std::string& out) {
    if (data.size() < 60)
        return false;
    const std::size_t start = out.size();
    out.append(data);
    patchU32(out, start + 16, 1);
    return true;
}

// One record of the constant table: size (counting itself), flags, name, remark, value
// type, value length, value. Only the template's own constant is rebuilt; any other
// record is copied as it stands.
bool rewriteRecord(std::string_view record, const EConstant& constant, std::string& out, KnownChecksums& known) {
    Cursor c(record);
    c.u32();
    const std::string_view flags = c.take(2);
    const std::string_view name = c.zeroTerminated();
    if (!c.ok)
        return false;
    const std::size_t start = out.size();
    if (name != kTemplateConstantName) {
        out.append(record);
        return true;
    }
    std::string_view remark = constant.remark;
    if (remark.empty()) {
        remark = c.zeroTerminated();
        if (!c.ok)
            return false;
    }
    if (!fitsU32(constant.value.size()))
        return false;
    appendU32(out, 0);  // the size, known once the record is written
    out.append(flags);
    out.append(constant.name).push_back('\0');
    out.append(remark).push_back('\0');
    out.push_back(kTextValueType);
    appendU32(out, static_cast<std::uint32_t>(constant.value.size()));
    appendCounted(out, constant.value, known);
    out.push_back('\0');
    const std::size_t size = out.size() - start;
    if (!fitsU32(size))
        return false;
    patchU32(out, start, static_cast<std::uint32_t>(size));
    return true;
}

// The resource section: window table, constant table (count, length, identifiers,
// offsets, records), trailer. Record offsets count from the end of the two arrays.
bool rewriteResources(std::string_view data, const EConstant& constant, std::string& out, KnownChecksums& known) {
    Cursor c(data);
    const std::uint32_t windowLength = c.u32();
    const std::string_view windows = c.take(windowLength);
    const std::uint32_t count = c.u32();
    const std::uint32_t tableLength = c.u32();
    if (!c.ok || std::uint64_t(count) * 8 > tableLength)
        return false;
    const std::string_view identifiers = c.take(std::size_t(count) * 4);
    const std::string_view offsets = c.take(std::size_t(count) * 4);
    const std::string_view records = c.take(tableLength - std::size_t(count) * 8);
    const std::string_view trailer = c.rest();
    if (!c.ok)
        return false;

    appendU32(out, windowLength);
    out.append(windows);
    appendU32(out, count);
    const std::size_t tableLengthAt = out.size();
    appendU32(out, 0);
    out.append(identifiers);
    const std::size_t offsetsAt = out.size();
    out.append(offsets);
    const std::size_t recordsAt = out.size();
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t offset = readU32(offsets.data() + std::size_t(i) * 4);
        if (offset > records.size() || records.size() - offset < 4)
            return false;
        const std::uint32_t size = readU32(records.data() + offset);
        if (size < 6 || size > records.size() - offset)
            return false;
        const std::size_t newOffset = out.size() - recordsAt;
        if (!fitsU32(newOffset) || !rewriteRecord(records.substr(offset, size), constant, out, known))
            return false;
        patchU32(out, offsetsAt + std::size_t(i) * 4, static_cast<std::uint32_t>(newOffset));
    }
    const std::size_t newTableLength = std::size_t(count) * 8 + (out.size() - recordsAt);
    if (!fitsU32(newTableLength))
        return false;
    patchU32(out, tableLengthAt, static_cast<std::uint32_t>(newTableLength));
    out.append(trailer);
    return true;
}

// The program section. Its leading fields are read to find where its tables begin; we
// add no modules, subroutines or library calls, so the tables go out as they came.
bool rewriteProgram(std::string_view data, std::string& out) {
    Cursor c(data);
    c.take(8);
    for (int i = 0; i < 3; ++i)
        c.take(c.u32());
    const std::uint16_t libraries = c.u16();
    for (std::uint16_t i = 0; i < libraries && c.ok; ++i)
        c.take(c.u32());
    const std::uint32_t flags = c.u32();
    c.u32();
    if (flags & 1)
        c.take(16);
    for (int i = 0; i < 2; ++i)
        c.take(c.u32());
    if (!c.ok)
        return false;
    out.append(data);
    return true;
}

std::optional<std::string> loadTemplate() {
    const auto asset = assets::find("ecode/template.hex");
    if (!asset)
        return std::nullopt;
    return decodeTemplateHex(*asset);
}

int hexDigit(char ch) {
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

bool isSpace(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }

}  // namespace

EConstant toCodePage936(const EConstant& constant) {
    return {text::toGb18030(constant.name), text::toGb18030(constant.value), text::toGb18030(constant.remark)};
}

std::uint32_t eChecksum(std::string_view bytes) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Eight bytes at a time: on a little-endian machine byte k of a 64-bit word lands
        // in checksum byte k mod 4 once the two halves are folded together.
        std::uint64_t a = 0, b = 0;
        for (; i + 16 <= bytes.size(); i += 16) {
            std::uint64_t w0, w1;
            std::memcpy(&w0, bytes.data() + i, 8);
            std::memcpy(&w1, bytes.data() + i + 8, 8);
            a ^= w0;
            b ^= w1;
        }
        a ^= b;
        sum = std::uint32_t(a) ^ std::uint32_t(a >> 32);
    }
    for (; i < bytes.size(); ++i)
        sum ^= std::uint32_t(std::uint8_t(bytes[i])) << (8 * (i % 4));
    return sum;
}

std::optional<std::string> decodeTemplateHex(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const char ch = text[i];
        if (isSpace(ch)) {
            ++i;
        } else if (ch == '#') {
            while (i < text.size() && text[i] != '\n')
                ++i;
        } else {
            std::size_t end = i;
            while (end < text.size() && !isSpace(text[end]) && text[end] != '#')
                ++end;
            std::string_view token = text.substr(i, end - i);
            i = end;
            std::size_t repeat = 1;
            if (const std::size_t star = token.find('*'); star != std::string_view::npos) {
                std::string_view count = token.substr(star + 1);
                token = token.substr(0, star);
                if (count.empty() || count.size() > 6 || token.size() != 2)
                    return std::nullopt;
                repeat = 0;
                for (char d : count) {
                    if (d < '0' || d > '9')
                        return std::nullopt;
                    repeat = repeat * 10 + std::size_t(d - '0');
                }
            }
            if (token.empty() || token.size() % 2 != 0)
                return std::nullopt;
            for (std::size_t k = 0; k < token.size(); k += 2) {
                const int hi = hexDigit(token[k]), lo = hexDigit(token[k + 1]);
                if (hi < 0 || lo < 0)
                    return std::nullopt;
                out.append(repeat, char(hi * 16 + lo));
            }
        }
    }
    return out;
}

std::string_view templateImage() {
    static const std::string image = loadTemplate().value_or(std::string());
    return image;
}

std::optional<std::string> buildEImage(std::string_view templ, const EConstant& constant) {
    if (templ.substr(0, kFileMagic.size()) != kFileMagic)
        return std::nullopt;
    std::string out;
    out.reserve(templ.size() + constant.name.size() + constant.remark.size() + constant.value.size() + 64);
    out.append(kFileMagic);

    Cursor c(templ);
    c.take(kFileMagic.size());
    std::uint32_t index = 0;
    for (;;) {
        // A template without its end section, or with a frame we do not know, is no
        // image: refuse rather than hand the E environment a truncated one.
        if (c.u32() != kSectionMagic)
            return std::nullopt;
        c.u32();  // the stored header checksum, recomputed below
        const std::string_view header = c.take(kSectionHeaderSize);
        if (!c.ok)
            return std::nullopt;
        const std::uint32_t key = readU32(header.data() + kKeyAt);
        const std::string_view data = c.take(readU32(header.data() + kDataLengthAt));
        if (!c.ok)
            return std::nullopt;

        const std::size_t frameAt = out.size();
        appendU32(out, kSectionMagic);
        appendU32(out, 0);
        out.append(header);
        const std::size_t dataAt = out.size();
        bool rewritten = true;
        KnownChecksums known;
        switch (key) {
        case kSystemInfoKey: rewritten = rewriteSystemInfo(data, out); break;
        case kResourceKey: rewritten = rewriteResources(data, constant, out, known); break;
        case kProgramKey: rewritten = rewriteProgram(data, out); break;
        default: out.append(data); break;
        }
        const std::size_t dataLength = out.size() - dataAt;
        if (!rewritten || !fitsU32(dataLength))
            return std::nullopt;

        const std::size_t headerAt = frameAt + 8;
        patchU32(out, headerAt + kIndexAt, ++index);
        patchU32(out, headerAt + kDataChecksumAt, checksumOf(out, dataAt, dataLength, known));
        patchU32(out, headerAt + kDataLengthAt, static_cast<std::uint32_t>(dataLength));
        patchU32(out, frameAt + 4, eChecksum(std::string_view(out).substr(headerAt, kSectionHeaderSize)));
        if (key == kEndKey)
            return out;
    }
}

std::optional<std::string> buildEImage(const EConstant& constant) {
    return buildEImage(templateImage(), constant);
}

std::vector<ClipboardEntry> eClipboardEntries(std::string image) {
    // ".版本 2" CR LF CR LF ".常量 asd, " '"' "<文本长度: 12>" '"' CR LF, in code page 936
    // with its zero byte (41 bytes), and in UTF-16LE with a zero character (66 bytes).
    static const std::string fixedText(
        ".\xB0\xE6\xB1\xBE 2\r\n\r\n.\xB3\xA3\xC1\xBF asd, \"<\xCE\xC4\xB1\xBE\xB3\xA4\xB6\xC8: 12>\"\r\n", 41);
    static const std::string fixedUnicode = [] {
        const std::u16string utf16 = text::utf8ToUtf16(text::fromGb18030(fixedText));  // keeps the zero
        std::string bytes;
        for (char16_t ch : utf16) {
            bytes.push_back(char(ch & 0xFF));
            bytes.push_back(char(ch >> 8));
        }
        return bytes;
    }();
    std::vector<ClipboardEntry> entries;
    entries.push_back({std::string(kEClipFormat), kEClipFormatNumber, std::move(image)});
    entries.push_back({"", 1, fixedText});                       // CF_TEXT
    entries.push_back({"", 16, std::string("\x04\x08\x00\x00", 4)});  // CF_LOCALE 0x0804
    entries.push_back({"", 7, fixedText});                       // CF_OEMTEXT
    entries.push_back({"", 13, fixedUnicode});                   // CF_UNICODETEXT
    return entries;
}

bool placeConstantOnClipboard(Clipboard& clipboard, const EConstant& constant) {
    std::optional<std::string> image = buildEImage(toCodePage936(constant));
    if (!image)
        return false;
    return clipboard.write(eClipboardEntries(std::move(*image)));
}

}  // namespace quillbox::ecode
