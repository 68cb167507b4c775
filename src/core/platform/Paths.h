#pragma once
// Where files go.
#include <string>

namespace quillbox::paths {

// The directory of the running executable.
std::string programDirectory();
// Settings file, lib/, Js_Test.html, update files: $QUILLBOX_HOME when set; else the
// program directory when writable; else ~/.local/share/quillbox (created on demand).
std::string homeDirectory();
// $XDG_CACHE_HOME, default ~/.cache (the stand-in for the internet cache folder).
std::string cacheDirectory();
// The user's desktop directory: $XDG_DESKTOP_DIR, else ~/Desktop when it exists, else ~.
std::string desktopDirectory();
// a + "/" + b, without doubling the slash.
std::string join(const std::string& a, const std::string& b);

}  // namespace quillbox::paths
