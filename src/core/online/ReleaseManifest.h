#pragma once
// What a release signs: one small JSON text that holds everything the update check shows to
// the user or acts on, so nothing of it can be changed, or replayed for another version,
// without the release key.
//
// In the version file it sits beside the older, unsigned fields (kept for programs that
// read only those):
//
//   "Update": { ..., "signed": "<the text>", "signature": "<base64 Ed25519>" }
//
// The text is a JSON object: ver (the version), url (where the program is), bytes (its exact
// length), sha256 (its digest), size (the size shown to the user) and notes (the change
// notes). The signature covers "quillbox-update-2", NUL, and the text's UTF-8 bytes.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox {
class JsonDocument;
}

namespace quillbox::online {

struct SignedRelease {
    std::string version;
    std::string url;
    long long bytes = 0;
    std::string sha256;
    std::string sizeText;
    std::vector<std::string> notes;
};

// The signed text of a release, and what its signature covers.
std::string signedReleaseText(const SignedRelease& release);
std::string releaseSignedMessage(std::string_view signedText);

// The release a version file vouches for: its "Update.signed" text, verified with the
// public key and read whole. Nothing (and why, in Chinese for the log) when the key is
// missing, the signature does not verify, or the text lacks a field.
std::optional<SignedRelease> verifiedRelease(const JsonDocument& versionFile, std::string_view publicKey,
                                             std::string* why);

// A non-negative whole number at path (an integer, or a number written with digits only).
std::optional<long long> wholeNumber(const JsonDocument& doc, std::string_view path);

// Compares two versions component by component, as numbers ("1.30" < "1.31" < "1.100";
// "1.3" == "1.03"; a missing component counts as 0). Nothing when either is not digits
// separated by single dots.
std::optional<int> compareVersions(std::string_view a, std::string_view b);

}  // namespace quillbox::online
