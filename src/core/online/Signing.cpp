#include "core/online/Signing.h"

#include <sodium.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillbox::online {
namespace {

bool sodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

std::string_view trimmed(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

const unsigned char* bytesOf(std::string_view s) { return reinterpret_cast<const unsigned char*>(s.data()); }

}  // namespace

std::string sha256Hex(std::string_view bytes) {
    sodiumReady();
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, bytesOf(bytes), bytes.size());
    char hex[crypto_hash_sha256_BYTES * 2 + 1];
    sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
    return hex;
}

std::optional<std::string> sha256HexOfFile(int fd) {
    sodiumReady();
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return std::nullopt;
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    unsigned char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        crypto_hash_sha256_update(&state, buffer, static_cast<unsigned long long>(n));
    }
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state, digest);
    char hex[crypto_hash_sha256_BYTES * 2 + 1];
    sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
    return std::string(hex);
}

std::string toBase64(std::string_view bytes) {
    sodiumReady();
    const std::size_t size = sodium_base64_encoded_len(bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    std::string out(size, '\0');
    sodium_bin2base64(out.data(), size, bytesOf(bytes), bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    out.resize(std::strlen(out.c_str()));
    return out;
}

std::optional<std::string> fromBase64(std::string_view text) {
    sodiumReady();
    text = trimmed(text);
    std::string out(text.size(), '\0');
    std::size_t length = 0;
    const char* end = nullptr;
    if (sodium_base642bin(reinterpret_cast<unsigned char*>(out.data()), out.size(), text.data(), text.size(), nullptr,
                          &length, &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
        end != text.data() + text.size())
        return std::nullopt;
    out.resize(length);
    return out;
}

ReleaseKey generateReleaseKey() {
    sodiumReady();
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(publicKey, secretKey);
    ReleaseKey key{toBase64({reinterpret_cast<char*>(secretKey), sizeof secretKey}),
                   toBase64({reinterpret_cast<char*>(publicKey), sizeof publicKey})};
    sodium_memzero(secretKey, sizeof secretKey);
    return key;
}

std::optional<ReleaseKey> releaseKeyFromText(std::string_view keyFileText) {
    const std::optional<std::string> secret = fromBase64(keyFileText);
    if (!secret || secret->size() != crypto_sign_SECRETKEYBYTES)
        return std::nullopt;
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    crypto_sign_ed25519_sk_to_pk(publicKey, bytesOf(*secret));
    return ReleaseKey{toBase64(*secret), toBase64({reinterpret_cast<char*>(publicKey), sizeof publicKey})};
}

std::string signMessage(std::string_view message, std::string_view secretKeyBase64) {
    const std::optional<std::string> secret = fromBase64(secretKeyBase64);
    if (!secret || secret->size() != crypto_sign_SECRETKEYBYTES)
        return {};
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, bytesOf(message), message.size(), bytesOf(*secret));
    return toBase64({reinterpret_cast<char*>(signature), sizeof signature});
}

bool verifyMessage(std::string_view message, std::string_view signatureBase64, std::string_view publicKeyBase64) {
    const std::optional<std::string> signature = fromBase64(signatureBase64);
    const std::optional<std::string> publicKey = fromBase64(publicKeyBase64);
    if (!signature || signature->size() != crypto_sign_BYTES || !publicKey ||
        publicKey->size() != crypto_sign_PUBLICKEYBYTES)
        return false;
    return crypto_sign_verify_detached(bytesOf(*signature), bytesOf(message), message.size(), bytesOf(*publicKey)) ==
           0;
}

std::string updateSignedMessage(std::string_view version, std::string_view executable) {
    std::string message("quillbox-update");
    message.push_back('\0');
    message.append(version);
    message.push_back('\0');
    message.append(executable);
    return message;
}

}  // namespace quillbox::online
