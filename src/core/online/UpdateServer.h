#pragma once
// Where the update server is and how its answers are trusted.
#include <string>
#include <string_view>

namespace quillbox::online {

// The program's own version, compared with the server's.
inline constexpr std::string_view kProgramVersion = "1.30";

// Paths on the update server.
inline constexpr std::string_view kVersionFilePath = "/Quillbox/Quillbox_config.txt";
inline constexpr std::string_view kChangeLogPath = "/Quillbox/Quillbox_config_all.txt";
inline constexpr std::string_view kLibraryIndexPath = "/Quillbox/lib/lib.json";
inline constexpr std::string_view kLibraryFilesPath = "/Quillbox/lib/";
inline constexpr std::string_view kParcelkitPath = "/Quillbox/Parcelkit.ec";
inline constexpr std::string_view kUsageCountPath = "/API_count";

// $QUILLBOX_UPDATE_SERVER, else the built-in address; without a trailing "/".
std::string updateServer();
// The server address followed by path.
std::string updateServerUrl(std::string_view path);
// $QUILLBOX_UPDATE_PUBLIC_KEY, else the release key the program was built with (base64;
// "" when it was built without one, and then no update is ever accepted).
std::string releasePublicKey();

}  // namespace quillbox::online
