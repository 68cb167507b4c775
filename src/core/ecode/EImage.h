#pragma once
// The E clipboard writer. The E development environment pastes a whole E project image
// that another program puts on the clipboard under the registered format "EClipFormat".
// We do not build that image from nothing: a stored template image holding exactly one
// text constant is walked section by section, the constant's name, remark and value are
// replaced, and every section index, length and checksum is recomputed.
//
// Image layout: "CNWTEPRG", then sections, the last one the end section. Each section is
// its magic 0x15117319, the checksum of its 92-byte header, the header (key, 32-byte name
// field, index, flag, data checksum, data length, 40 reserved bytes) and its data.
// Integers are little-endian; texts are code page 936 (GB18030) bytes.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Clipboard.h"

namespace quillbox::ecode {

constexpr std::uint32_t kSectionMagic = 0x15117319;
constexpr std::uint32_t kSystemInfoKey = 0x02007319;
constexpr std::uint32_t kResourceKey = 0x04007319;
constexpr std::uint32_t kProgramKey = 0x03007319;
constexpr std::uint32_t kEndKey = 0x07007319;
constexpr std::size_t kSectionHeaderSize = 92;
constexpr std::string_view kFileMagic = "CNWTEPRG";

// Name under which the E environment registers its clipboard format, and the number
// used when registration yields none.
constexpr std::string_view kEClipFormat = "EClipFormat";
constexpr unsigned kEClipFormatNumber = 0xC226;

// A text constant. The first form holds program text (UTF-8); the second the code page
// 936 bytes that go into the image.
struct EConstant {
    std::string name;
    std::string value;
    std::string remark;
};
EConstant toCodePage936(const EConstant& constant);

// Checksum of the image format: byte i is XORed into checksum byte i mod 4; the four bytes
// read as a little-endian integer.
std::uint32_t eChecksum(std::string_view bytes);

// The stored template image (decoded from the embedded asset "ecode/template.hex"); empty
// when the asset is missing or malformed.
std::string_view templateImage();

// Decodes the template's annotated hex text: "#" comments, hex digit pairs, "XX*N" runs.
// Nothing when the text holds anything else.
std::optional<std::string> decodeTemplateHex(std::string_view text);

// The image of `templ` with its constant "文本常量" replaced by `constant` (code page 936
// bytes). Nothing when the template is not a well-formed image or a length would not fit
// in 32 bits: a partial image must never reach the clipboard.
std::optional<std::string> buildEImage(std::string_view templ, const EConstant& constant);
// The same over the stored template.
std::optional<std::string> buildEImage(const EConstant& constant);

// The five clipboard entries, in order: the image under "EClipFormat", then the fixed
// text companions (CF_TEXT, CF_LOCALE, CF_OEMTEXT, CF_UNICODETEXT), identical for every
// constant.
std::vector<ClipboardEntry> eClipboardEntries(std::string image);

// Puts `constant` (program text) on the clipboard. False when no image could be built or
// the clipboard could not be opened.
bool placeConstantOnClipboard(Clipboard& clipboard, const EConstant& constant);

}  // namespace quillbox::ecode
