#include "core/online/UpdateServer.h"

#include <cstdlib>

#include "core/net/Addresses.h"

#ifndef QUILLBOX_RELEASE_PUBLIC_KEY
#define QUILLBOX_RELEASE_PUBLIC_KEY ""
#endif

namespace quillbox::online {

std::string updateServer() {
    const char* fromEnvironment = std::getenv("QUILLBOX_UPDATE_SERVER");
    std::string server = fromEnvironment && *fromEnvironment ? fromEnvironment : std::string(addresses::kUpdateServer);
    while (!server.empty() && server.back() == '/')
        server.pop_back();
    return server;
}

std::string updateServerUrl(std::string_view path) { return updateServer() + std::string(path); }

std::string releasePublicKey() {
    const char* fromEnvironment = std::getenv("QUILLBOX_UPDATE_PUBLIC_KEY");
    return fromEnvironment && *fromEnvironment ? fromEnvironment : QUILLBOX_RELEASE_PUBLIC_KEY;
}

}  // namespace quillbox::online
