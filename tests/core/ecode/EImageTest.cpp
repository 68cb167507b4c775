// The E image writer, checked against a reader that follows the image format's tables
// on its own (it shares no code with the writer).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/ecode/EImage.h"
#include "core/text/Text.h"

using namespace quillbox;
using namespace quillbox::ecode;

namespace {

// ---- An independent reader ------------------------------------------------------------

std::uint32_t le32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k)
        v = v * 256 + static_cast<unsigned char>(s.at(at + k));
    return v;
}

std::uint32_t slowChecksum(const std::string& s) {
    unsigned char c[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < s.size(); ++i)
        c[i % 4] ^= static_cast<unsigned char>(s[i]);
    return c[0] | c[1] << 8 | c[2] << 16 | std::uint32_t(c[3]) << 24;
}

struct Section {
    std::uint32_t magic, headerChecksum, key, index, flag, dataChecksum, dataLength;
    std::string header, name, reserved, data;
};

struct Record {
    std::uint32_t identifier, offset, size;
    std::uint16_t flags;
    std::string name, remark;
    int type;
    std::uint32_t valueLength;
    std::string value;
    bool valueZeroTerminated;
};

struct Resources {
    std::uint32_t windowLength, count, tableLength, trailer;
    std::vector<Record> records;
};

// Reads every section of an image; fails the test on a frame it cannot read.
std::vector<Section> readSections(const std::string& image) {
    std::vector<Section> sections;
    EXPECT_EQ(image.substr(0, 8), "CNWTEPRG");
    std::size_t at = 8;
    while (at < image.size()) {
        Section s;
        s.magic = le32(image, at);
        s.headerChecksum = le32(image, at + 4);
        s.header = image.substr(at + 8, 92);
        s.key = le32(s.header, 0);
        s.name = s.header.substr(4, 32);
        s.index = le32(s.header, 36);
        s.flag = le32(s.header, 40);
        s.dataChecksum = le32(s.header, 44);
        s.dataLength = le32(s.header, 48);
        s.reserved = s.header.substr(52, 40);
        s.data = image.substr(at + 100, s.dataLength);
        EXPECT_EQ(s.data.size(), s.dataLength);
        at += 100 + s.dataLength;
        sections.push_back(std::move(s));
        if (sections.back().key == 0x07007319)
            break;
    }
    EXPECT_EQ(at, image.size()) << "bytes after the end section";
    return sections;
}

Resources readResources(const std::string& d) {
    Resources r;
    r.windowLength = le32(d, 0);
    std::size_t at = 4 + r.windowLength;
    r.count = le32(d, at);
    r.tableLength = le32(d, at + 4);
    const std::size_t arrays = at + 8;
    const std::size_t recordsStart = arrays + 8 * std::size_t(r.count);
    for (std::uint32_t i = 0; i < r.count; ++i) {
        Record rec;
        rec.identifier = le32(d, arrays + 4 * i);
        rec.offset = le32(d, arrays + 4 * r.count + 4 * i);
        std::size_t p = recordsStart + rec.offset;
        rec.size = le32(d, p);
        rec.flags = static_cast<std::uint16_t>(static_cast<unsigned char>(d.at(p + 4)) |
                                               static_cast<unsigned char>(d.at(p + 5)) << 8);
        p += 6;
        std::size_t zero = d.find('\0', p);
        rec.name = d.substr(p, zero - p);
        p = zero + 1;
        zero = d.find('\0', p);
        rec.remark = d.substr(p, zero - p);
        p = zero + 1;
        rec.type = static_cast<unsigned char>(d.at(p));
        rec.valueLength = le32(d, p + 1);
        p += 5;
        rec.value = d.substr(p, rec.valueLength);
        rec.valueZeroTerminated = d.at(p + rec.valueLength) == '\0';
        EXPECT_EQ(p + rec.valueLength + 1, recordsStart + rec.offset + rec.size) << "record size of " << i;
        r.records.push_back(std::move(rec));
    }
    const std::size_t tableEnd = at + 8 + r.tableLength;
    r.trailer = le32(d, tableEnd);
    EXPECT_EQ(tableEnd + 4, d.size()) << "bytes after the trailer";
    return r;
}

const Section& sectionWithKey(const std::vector<Section>& sections, std::uint32_t key) {
    for (const Section& s : sections)
        if (s.key == key)
            return s;
    ADD_FAILURE() << "no section with key " << std::hex << key;
    return sections.front();
}

// Frames sections into an image (indices 1.., checksums filled), for hand-made templates.
std::string frame(const std::vector<std::pair<std::uint32_t, std::string>>& sections) {
    auto put = [](std::string& s, std::uint32_t v) {
        for (int k = 0; k < 4; ++k)
            s.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
    };
    std::string image = "CNWTEPRG";
    std::uint32_t index = 0;
    for (const auto& [key, data] : sections) {
        std::string header;
        put(header, key);
        header.append(32, '\0');
        put(header, ++index);
        put(header, 0);
        put(header, slowChecksum(data));
        put(header, static_cast<std::uint32_t>(data.size()));
        header.append(40, '\0');
        put(image, 0x15117319);
        put(image, slowChecksum(header));
        image += header + data;
    }
    return image;
}

std::string u32(std::uint32_t v) {
    std::string s;
    for (int k = 0; k < 4; ++k)
        s.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
    return s;
}

std::string record(const std::string& name, const std::string& remark, const std::string& value) {
    std::string body = std::string("\x10\x00", 2) + name + '\0' + remark + '\0' + '\x1A' +
                       u32(static_cast<std::uint32_t>(value.size())) + value + '\0';
    return u32(static_cast<std::uint32_t>(body.size() + 4)) + body;
}

std::string resources(const std::vector<std::string>& records) {
    std::string ids, offsets, bodies;
    for (std::size_t i = 0; i < records.size(); ++i) {
        ids += u32(0x18010885 + static_cast<std::uint32_t>(i));
        offsets += u32(static_cast<std::uint32_t>(bodies.size()));
        bodies += records[i];
    }
    return u32(0) + u32(static_cast<std::uint32_t>(records.size())) +
           u32(static_cast<std::uint32_t>(8 * records.size() + bodies.size())) + ids + offsets + bodies + u32(0);
}

const std::string kTemplateName = "\xCE\xC4\xB1\xBE\xB3\xA3\xC1\xBF";  // 文本常量
const std::string kName = text::toGb18030("常量_JS_demo");
const std::string kRemark = text::toGb18030("代码由 Quillbox生成 by Zorvan");

std::string build(const std::string& name, const std::string& value, const std::string& remark) {
    std::optional<std::string> image = buildEImage(EConstant{name, value, remark});
    EXPECT_TRUE(image.has_value());
    return image.value_or("");
}

}  // namespace

// ---- Checksum ---------------------------------------------------------------------------

TEST(EChecksum, XorsEachByteIntoItsPositionModuloFour) {
    EXPECT_EQ(eChecksum(std::string("\x01\x02\x03\x04\x05", 5)), 0x04030204u);
    EXPECT_EQ(eChecksum(""), 0u);
    EXPECT_EQ(eChecksum("\xFF"), 0xFFu);
}

TEST(EChecksum, AgreesWithTheByteRuleForEveryLengthAndAlignment) {
    std::string bytes;
    for (int i = 0; i < 200; ++i)
        bytes.push_back(static_cast<char>((i * 131 + 7) & 0xFF));
    for (std::size_t start = 0; start < 8; ++start)
        for (std::size_t n = 0; start + n <= bytes.size(); ++n)
            ASSERT_EQ(eChecksum(std::string_view(bytes).substr(start, n)), slowChecksum(bytes.substr(start, n)))
                << "start " << start << " length " << n;
}

// ---- The stored template ----------------------------------------------------------------

TEST(ETemplate, IsAWellFormedImageOfTheNineSections) {
    const std::string templ(templateImage());
    ASSERT_FALSE(templ.empty()) << "the template asset is missing or malformed";
    const std::vector<Section> sections = readSections(templ);
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> keysAndFlags = {
        {0x02007319, 0}, {0x01007319, 1}, {0x04007319, 0}, {0x03007319, 0}, {0x08007319, 0},
        {0x05007319, 1}, {0x10007319, 1}, {0x09007319, 1}, {0x07007319, 0}};
    const std::vector<std::uint32_t> lengths = {60, 88, 301, 187, 6, 32, 13, 22, 0};
    ASSERT_EQ(sections.size(), 9u);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sections[i].magic, 0x15117319u);
        EXPECT_EQ(sections[i].key, keysAndFlags[i].first);
        EXPECT_EQ(sections[i].flag, keysAndFlags[i].second);
        EXPECT_EQ(sections[i].index, i + 1);
        EXPECT_EQ(sections[i].dataLength, lengths[i]);
        EXPECT_EQ(sections[i].headerChecksum, slowChecksum(sections[i].header));
        EXPECT_EQ(sections[i].dataChecksum, slowChecksum(sections[i].data));
        EXPECT_EQ(sections[i].reserved, std::string(40, '\0'));
    }
    const Resources r = readResources(sections[2].data);
    ASSERT_EQ(r.records.size(), 1u);
    EXPECT_EQ(r.records[0].identifier, 0x18010885u);
    EXPECT_EQ(r.records[0].size, 277u);
    EXPECT_EQ(r.records[0].flags, 0x0010);
    EXPECT_EQ(r.records[0].name, kTemplateName);
    EXPECT_EQ(r.records[0].value, std::string(255, 'F'));
    // The program section declares the one support library, by its five-part line.
    EXPECT_NE(sections[3].data.find(text::toGb18030("krnln\rd09f2340818511d396f6aaf844c7e325\r5\r3\r系统核心支持库")),
              std::string::npos);
}

TEST(ETemplate, HexNotationDecodesRunsAndCommentsAndRefusesAnythingElse) {
    EXPECT_EQ(decodeTemplateHex("# comment 12\n0a 0B*3 # more\nFF00"), std::string("\x0A\x0B\x0B\x0B\xFF\x00", 6));
    EXPECT_EQ(decodeTemplateHex(""), std::string());
    EXPECT_FALSE(decodeTemplateHex("0"));
    EXPECT_FALSE(decodeTemplateHex("zz"));
    EXPECT_FALSE(decodeTemplateHex("00*"));
    EXPECT_FALSE(decodeTemplateHex("0000*2"));
}

// ---- Building the image -----------------------------------------------------------------

TEST(EImage, SizesOfTheThousandByteExample) {
    ASSERT_EQ(kName.size(), 12u);
    ASSERT_EQ(kRemark.size(), 29u);
    const std::string image = build(kName, std::string(1000, 'v'), kRemark);
    const std::vector<Section> sections = readSections(image);
    const Section& res = sectionWithKey(sections, 0x04007319);
    EXPECT_EQ(res.dataLength, 1079u);
    const Resources r = readResources(res.data);
    EXPECT_EQ(r.windowLength, 0u);
    EXPECT_EQ(r.count, 1u);
    EXPECT_EQ(r.tableLength, 1063u);
    ASSERT_EQ(r.records.size(), 1u);
    EXPECT_EQ(r.records[0].size, 1055u);
    EXPECT_EQ(r.records[0].offset, 0u);
    EXPECT_EQ(r.records[0].identifier, 0x18010885u);
    EXPECT_EQ(r.records[0].flags, 0x0010);
    EXPECT_EQ(r.records[0].type, 0x1A);
    EXPECT_EQ(r.trailer, 0u);
}

TEST(EImage, SectionsAreNumberedOneToNineAndEveryChecksumMatches) {
    const std::string templ(templateImage());
    const std::vector<Section> before = readSections(templ);
    const std::vector<Section> after = readSections(build(kName, "var a = 1;", kRemark));
    ASSERT_EQ(after.size(), 9u);
    for (std::size_t i = 0; i < after.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(after[i].magic, 0x15117319u);
        EXPECT_EQ(after[i].index, i + 1);
        EXPECT_EQ(after[i].headerChecksum, slowChecksum(after[i].header));
        EXPECT_EQ(after[i].dataChecksum, slowChecksum(after[i].data));
        EXPECT_EQ(after[i].dataLength, after[i].data.size());
        // Key, name field, flag and reserved bytes come from the template.
        EXPECT_EQ(after[i].key, before[i].key);
        EXPECT_EQ(after[i].name, before[i].name);
        EXPECT_EQ(after[i].flag, before[i].flag);
        EXPECT_EQ(after[i].reserved, before[i].reserved);
        if (after[i].key != 0x04007319) {
            EXPECT_EQ(after[i].data, before[i].data) << "only the resource section carries the constant";
        }
    }
}

TEST(EImage, ReaderFindsNameRemarkAndValueForSmallAndLargeValues) {
    std::string oneMegabyte(1 << 20, '\0');
    for (std::size_t i = 0; i < oneMegabyte.size(); ++i)
        oneMegabyte[i] = static_cast<char>(i * 7 + i / 256);  // every byte value, zeros included
    std::string sixteen(16u << 20, 'x');
    sixteen[0] = '\0';
    sixteen[sixteen.size() / 2] = '"';
    sixteen.back() = '\xFF';
    const std::string empty, one = "A";
    const std::string* const values[] = {&empty, &one, &oneMegabyte, &sixteen};
    for (const std::string* value : values) {
        SCOPED_TRACE(value->size());
        const std::string image = build(kName, *value, kRemark);
        const std::vector<Section> sections = readSections(image);
        ASSERT_EQ(sections.size(), 9u);
        for (const Section& s : sections)
            ASSERT_EQ(s.dataChecksum, slowChecksum(s.data));
        const Resources r = readResources(sectionWithKey(sections, 0x04007319).data);
        ASSERT_EQ(r.records.size(), 1u);
        EXPECT_EQ(r.records[0].name, kName);
        EXPECT_EQ(r.records[0].remark, kRemark);
        EXPECT_EQ(r.records[0].type, 0x1A);
        EXPECT_EQ(r.records[0].valueLength, value->size());
        EXPECT_TRUE(r.records[0].value == *value);
        EXPECT_TRUE(r.records[0].valueZeroTerminated);
        EXPECT_EQ(r.records[0].size, 14 + kName.size() + kRemark.size() + value->size());
    }
}

TEST(EImage, ChecksumsHoldWhereverTheValueFallsAndWhateverItsLength) {
    std::string value(3 * 65536 + 7, '\0');
    for (std::size_t i = 0; i < value.size(); ++i)
        value[i] = static_cast<char>(i * 31 + 11);
    for (const std::string name : {"", "a", "ab", "abc"}) {
        for (const std::size_t length : {std::size_t(0), std::size_t(3), std::size_t(65535), std::size_t(65536),
                                         std::size_t(65537), value.size()}) {
            SCOPED_TRACE(name + " / " + std::to_string(length));
            const std::vector<Section> sections = readSections(build(name, value.substr(0, length), "r"));
            const Section& res = sectionWithKey(sections, 0x04007319);
            ASSERT_EQ(res.dataChecksum, slowChecksum(res.data));
            ASSERT_EQ(res.headerChecksum, slowChecksum(res.header));
        }
    }
}

TEST(EImage, EmptyValueIsLengthZeroAndOneZeroByte) {
    const std::vector<Section> sections = readSections(build(kName, "", kRemark));
    const std::string& data = sectionWithKey(sections, 0x04007319).data;
    const std::string tail = std::string("\x1A", 1) + u32(0) + '\0' + u32(0);  // type, length, zero, trailer
    EXPECT_EQ(data.substr(data.size() - tail.size()), tail);
}

TEST(EImage, EmptyNameIsALoneZeroByteWithNoDefault) {
    const std::vector<Section> sections = readSections(build("", "v", kRemark));
    const std::string& data = sectionWithKey(sections, 0x04007319).data;
    // Window length, count, table length, identifier, offset, record size, flags, then the name.
    EXPECT_EQ(data.at(4 * 6 + 2), '\0');
    const Resources r = readResources(data);
    EXPECT_EQ(r.records[0].name, "");
    EXPECT_EQ(r.records[0].remark, kRemark);
    EXPECT_EQ(r.records[0].size, 14u + kRemark.size() + 1);
}

TEST(EImage, EmptyRemarkKeepsTheTemplatesRemark) {
    const std::string templ = frame({{0x04007319, resources({record(kTemplateName, "old remark", "F")})},
                                     {0x07007319, ""}});
    const auto image = buildEImage(templ, EConstant{"N", "value", ""});
    ASSERT_TRUE(image);
    const Resources r = readResources(readSections(*image).at(0).data);
    EXPECT_EQ(r.records.at(0).remark, "old remark");
    EXPECT_EQ(r.records.at(0).value, "value");

    const auto replaced = buildEImage(templ, EConstant{"N", "value", "new"});
    ASSERT_TRUE(replaced);
    EXPECT_EQ(readResources(readSections(*replaced).at(0).data).records.at(0).remark, "new");
}

TEST(EImage, OnlyTheTemplateConstantIsRebuiltAmongSeveralRecords) {
    const std::string first = record("first", "r1", "111");
    const std::string last = record("last", "", std::string(40, 'z'));
    const std::string templ = frame({{0x04007319, resources({first, record(kTemplateName, "", "F"), last})},
                                     {0x07007319, ""}});
    const auto image = buildEImage(templ, EConstant{"NEW", std::string(500, 'q'), "R"});
    ASSERT_TRUE(image);
    const std::vector<Section> sections = readSections(*image);
    const Resources r = readResources(sections.at(0).data);
    ASSERT_EQ(r.records.size(), 3u);
    EXPECT_EQ(r.records[0].name, "first");
    EXPECT_EQ(r.records[0].offset, 0u);
    EXPECT_EQ(r.records[1].name, "NEW");
    EXPECT_EQ(r.records[1].offset, first.size());
    EXPECT_EQ(r.records[1].value, std::string(500, 'q'));
    EXPECT_EQ(r.records[2].name, "last");
    EXPECT_EQ(r.records[2].offset, first.size() + r.records[1].size);
    EXPECT_EQ(r.records[2].value, std::string(40, 'z'));
    EXPECT_EQ(r.tableLength, 3 * 8 + first.size() + r.records[1].size + last.size());
    for (std::uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(r.records[i].identifier, 0x18010885u + i);
    EXPECT_EQ(sections.at(0).dataChecksum, slowChecksum(sections.at(0).data));
}

TEST(EImage, SystemInfoSectionGetsOneAtOffsetSixteen) {
    std::string info(64, '\0');
    info[20] = '\x7F';  // beyond the field: copied as it is
    const std::string templ = frame({{0x02007319, info}, {0x07007319, ""}});
    const auto image = buildEImage(templ, EConstant{"N", "v", "r"});
    ASSERT_TRUE(image);
    const std::vector<Section> sections = readSections(*image);
    std::string expected = info;
    expected[16] = '\x01';
    EXPECT_EQ(sections.at(0).data, expected);
    EXPECT_EQ(sections.at(0).dataChecksum, slowChecksum(expected));
}

TEST(EImage, MalformedTemplatesYieldNoImage) {
    const std::string good(templateImage());
    const EConstant c{"N", "v", "r"};
    EXPECT_FALSE(buildEImage("", c));
    EXPECT_FALSE(buildEImage("CNWTEPRX" + good.substr(8), c));
    std::string badMagic = good;
    badMagic[8 + 100 + 60] = 'x';  // the second section's magic
    EXPECT_FALSE(buildEImage(badMagic, c));
    EXPECT_FALSE(buildEImage(good.substr(0, good.size() - 1), c)) << "end section cut short";
    EXPECT_FALSE(buildEImage(good.substr(0, 8 + 100 + 60), c)) << "no end section";
    // A record whose size runs past its table.
    std::string rec = record(kTemplateName, "", "F");
    rec[0] = '\x7F';
    EXPECT_FALSE(buildEImage(frame({{0x04007319, resources({rec})}, {0x07007319, ""}}), c));
    // A constant table claiming more entries than its length holds.
    std::string res = resources({record(kTemplateName, "", "F")});
    res[4] = '\x50';
    EXPECT_FALSE(buildEImage(frame({{0x04007319, res}, {0x07007319, ""}}), c));
    // A program section whose library line runs past its end.
    EXPECT_FALSE(buildEImage(frame({{0x03007319, std::string(30, '\0') + u32(999)}, {0x07007319, ""}}), c));
}

// ---- Clipboard entries ------------------------------------------------------------------

TEST(EClipboardEntries, FiveEntriesWithTheFixedTextCompanionsInOrder) {
    const std::string fixed = text::toGb18030(".版本 2\r\n\r\n.常量 asd, \"<文本长度: 12>\"\r\n") + '\0';
    ASSERT_EQ(fixed.size(), 41u);
    const std::vector<ClipboardEntry> entries = eClipboardEntries("IMAGE");
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].format, "EClipFormat");
    EXPECT_EQ(entries[0].number, 0xC226u);
    EXPECT_EQ(entries[0].bytes, "IMAGE");
    EXPECT_EQ(entries[1].format, "");
    EXPECT_EQ(entries[1].number, 1u);
    EXPECT_EQ(entries[1].bytes, fixed);
    EXPECT_EQ(entries[2].number, 16u);
    EXPECT_EQ(entries[2].bytes, std::string("\x04\x08\x00\x00", 4));
    EXPECT_EQ(entries[3].number, 7u);
    EXPECT_EQ(entries[3].bytes, fixed);
    EXPECT_EQ(entries[4].number, 13u);
    ASSERT_EQ(entries[4].bytes.size(), 66u);
    std::u16string utf16;
    for (std::size_t i = 0; i < 66; i += 2)
        utf16.push_back(static_cast<char16_t>(static_cast<unsigned char>(entries[4].bytes[i]) |
                                              static_cast<unsigned char>(entries[4].bytes[i + 1]) << 8));
    EXPECT_EQ(text::utf16ToUtf8(utf16), std::string(".版本 2\r\n\r\n.常量 asd, \"<文本长度: 12>\"\r\n") + '\0');
    for (std::size_t i = 1; i < 5; ++i)
        EXPECT_TRUE(entries[i].format.empty());
}

TEST(EClipboardEntries, PlacingAConstantPutsItsImageFirstAndTheSameCompanionsEveryTime) {
    MemoryClipboard clipboard;
    ASSERT_TRUE(placeConstantOnClipboard(clipboard, {"常量_JS_a", "var a;", "注释"}));
    const std::vector<ClipboardEntry> first = clipboard.last;
    ASSERT_TRUE(placeConstantOnClipboard(clipboard, {"常量_JS_b", std::string(3000, 'b'), ""}));
    ASSERT_EQ(first.size(), 5u);
    ASSERT_EQ(clipboard.last.size(), 5u);
    EXPECT_NE(first[0].bytes, clipboard.last[0].bytes);
    for (std::size_t i = 1; i < 5; ++i)
        EXPECT_EQ(first[i].bytes, clipboard.last[i].bytes);
    // Program text goes into the image in code page 936.
    const Resources r = readResources(sectionWithKey(readSections(first[0].bytes), 0x04007319).data);
    EXPECT_EQ(r.records.at(0).name, text::toGb18030("常量_JS_a"));
    EXPECT_EQ(r.records.at(0).remark, text::toGb18030("注释"));

    clipboard.refuse = true;
    EXPECT_FALSE(placeConstantOnClipboard(clipboard, {"n", "v", "r"}));
}
