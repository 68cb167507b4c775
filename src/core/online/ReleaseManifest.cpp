#include "core/online/ReleaseManifest.h"

#include <algorithm>

#include "core/json/JsonDocument.h"
#include "core/online/Signing.h"

namespace quillbox::online {
namespace {

constexpr std::string_view kSignedContext = "quillbox-update-2";

// The version's numbers; empty when it is not digits separated by single dots.
std::vector<std::string> components(std::string_view version) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : version) {
        if (c == '.') {
            if (current.empty())
                return {};
            parts.push_back(current);
            current.clear();
        } else if (c >= '0' && c <= '9') {
            current.push_back(c);
        } else {
            return {};
        }
    }
    if (current.empty())
        return {};
    parts.push_back(current);
    return parts;
}

// Compares two digit strings as numbers of any length.
int compareNumbers(std::string a, std::string b) {
    auto strip = [](std::string& s) {
        const std::size_t first = s.find_first_not_of('0');
        s = first == std::string::npos ? "0" : s.substr(first);
    };
    strip(a);
    strip(b);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

std::optional<long long> wholeNumber(const JsonDocument& doc, std::string_view path) {
    const JsonKind kind = doc.kind(path);
    if (kind == JsonKind::Integer)
        return doc.integer(path);
    if (kind != JsonKind::Number)
        return std::nullopt;
    // Parsed numbers keep their literal: only digits make a whole number.
    const std::string literal = doc.text(path);
    if (literal.empty() || literal.size() > 18 || literal.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoll(literal);
}

std::string signedReleaseText(const SignedRelease& release) {
    JsonDocument doc = JsonDocument::makeObject();
    doc.setMember("", "ver", JsonDocument::makeString(release.version));
    doc.setMember("", "url", JsonDocument::makeString(release.url));
    doc.setMember("", "bytes", JsonDocument::makeInteger(release.bytes));
    doc.setMember("", "sha256", JsonDocument::makeString(release.sha256));
    doc.setMember("", "size", JsonDocument::makeString(release.sizeText));
    JsonDocument notes = JsonDocument::makeArray();
    for (const std::string& note : release.notes)
        notes.append("", JsonDocument::makeString(note));
    doc.setMember("", "notes", notes);
    return doc.toJson("", false, true);
}

std::string releaseSignedMessage(std::string_view signedText) {
    std::string message(kSignedContext);
    message.push_back('\0');
    message.append(signedText);
    return message;
}

std::optional<SignedRelease> verifiedRelease(const JsonDocument& versionFile, std::string_view publicKey,
                                             std::string* why) {
    auto fail = [&](const char* reason) -> std::optional<SignedRelease> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    if (publicKey.empty())
        return fail("程序没有发布公钥,无法验证版本文件");
    if (versionFile.kind("Update.signed") != JsonKind::String || versionFile.kind("Update.signature") != JsonKind::String)
        return fail("版本文件没有签名");
    const std::string text = versionFile.string("Update.signed");
    if (!verifyMessage(releaseSignedMessage(text), versionFile.string("Update.signature"), publicKey))
        return fail("版本文件签名无效");
    JsonDocument doc;
    if (!doc.parse(text).ok || doc.kind("ver") != JsonKind::String || doc.kind("url") != JsonKind::String ||
        !wholeNumber(doc, "bytes") || doc.kind("sha256") != JsonKind::String ||
        doc.kind("size") != JsonKind::String || doc.kind("notes") != JsonKind::Array)
        return fail("版本文件的签名部分不完整");
    SignedRelease release;
    release.version = doc.string("ver");
    release.url = doc.string("url");
    release.bytes = *wholeNumber(doc, "bytes");
    release.sha256 = doc.string("sha256");
    release.sizeText = doc.string("size");
    for (std::size_t i = 0, n = doc.count("notes"); i < n; ++i)
        release.notes.push_back(doc.at("notes", i).string());
    if (release.bytes <= 0)
        return fail("版本文件的签名部分不完整");
    return release;
}

std::optional<int> compareVersions(std::string_view a, std::string_view b) {
    const std::vector<std::string> x = components(a);
    const std::vector<std::string> y = components(b);
    if (x.empty() || y.empty())
        return std::nullopt;
    for (std::size_t i = 0; i < std::max(x.size(), y.size()); ++i) {
        const int order = compareNumbers(i < x.size() ? x[i] : "0", i < y.size() ? y[i] : "0");
        if (order != 0)
            return order;
    }
    return 0;
}

}  // namespace quillbox::online
