#pragma once
// Release signatures and digests (libsodium): Ed25519 signatures over the published
// executable and the library index, SHA-256 digests of every published file.
//
// Keys and signatures travel as standard base64 text. A key file holds one line, the
// base64 of the 64-byte Ed25519 secret key (seed and public key), and must be kept private.
#include <optional>
#include <string>
#include <string_view>

namespace quillbox::online {

// Lower-case hex of the SHA-256 digest of the bytes.
std::string sha256Hex(std::string_view bytes);
// The same for the whole content of an open file, read from its start in pieces; nothing
// when it cannot be read.
std::optional<std::string> sha256HexOfFile(int fd);

std::string toBase64(std::string_view bytes);
// Nothing when the text is not standard base64 (surrounding white space is ignored).
std::optional<std::string> fromBase64(std::string_view text);

struct ReleaseKey {
    std::string secretKey;  // base64 of the 64-byte secret key
    std::string publicKey;  // base64 of the 32-byte public key
};

// A fresh key pair from the system's random source.
ReleaseKey generateReleaseKey();
// The key pair a key file's text holds; nothing when it holds no secret key.
std::optional<ReleaseKey> releaseKeyFromText(std::string_view keyFileText);

// Base64 of the detached signature of message; "" when the secret key is unusable.
std::string signMessage(std::string_view message, std::string_view secretKeyBase64);
// True only when the signature is a valid signature of message by the public key.
bool verifyMessage(std::string_view message, std::string_view signatureBase64, std::string_view publicKeyBase64);

// What the older signature of a new program version covers: "quillbox-update", NUL, the
// version, NUL, the executable's bytes. Still written for programs that know only it; this
// program checks the signed release text instead (ReleaseManifest.h).
std::string updateSignedMessage(std::string_view version, std::string_view executable);

}  // namespace quillbox::online
