#pragma once
// Where files go.
#include <string>

namespace quillbox::paths {

// The directory of the running executable.
std::string programDirectory();
// The file that marks a program directory laid out by an install (cmake --install or the
// Debian package): the package manager owns that directory, the programs never write into it.
inline constexpr const char* kInstalledMarker = "quillbox.installed";
// Whether the program may write into its own directory (settings, lib/, a self-update):
// it is writable and not an installed layout.
bool programDirectoryWritable();
// Settings file, lib/, Js_Test.html, update files: $QUILLBOX_HOME when set; else the
// program directory when programDirectoryWritable(); else ~/.local/share/quillbox
// (created on demand).
std::string homeDirectory();
// $XDG_CACHE_HOME, default ~/.cache (the stand-in for the internet cache folder).
std::string cacheDirectory();
// The user's desktop directory: $XDG_DESKTOP_DIR, else ~/Desktop when it exists, else ~.
std::string desktopDirectory();
// a + "/" + b, without doubling the slash.
std::string join(const std::string& a, const std::string& b);

}  // namespace quillbox::paths
