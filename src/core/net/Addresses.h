#pragma once
// Every web address the program uses, in one place, so that moving a server is one edit.
#include <string_view>

namespace quillbox::addresses {

// The download page of the ChakraCore class module for E programs, named in the code that
// the "ChakraCore类调用" call style generates. A placeholder until the page is published.
inline constexpr std::string_view kChakraCoreModuleDownload = "https://www.example.com/quillbox/chakracore-module";

// The update server: the version file, the change log, the module library and the usage
// count live under it. The environment variable QUILLBOX_UPDATE_SERVER replaces it.
inline constexpr std::string_view kUpdateServer = "http://update.quillbox.example.org";

// The page that offers the module library as one archive (lib.zip), named in the library
// window for users without a library. A placeholder until the page is published.
inline constexpr std::string_view kLibraryArchivePage = "https://www.example.com/quillbox/lib-zip";

// ChakraCore's releases, offered at start when libChakraCore.so is missing.
inline constexpr const char* kEngineDownload = "https://github.com/chakra-core/ChakraCore/releases";

// The pages the window's menus, its About window and the browser check open.
inline constexpr const char* kUsagePage = "https://quillbox.example.org/guide";
inline constexpr const char* kChakraModulePage = "https://quillbox.example.org/forum/chakracore-ec";
inline constexpr const char* kContactPage = "https://quillbox.example.org/contact";
inline constexpr const char* kGroupPage = "https://quillbox.example.org/group";
inline constexpr const char* kBrowserDownloadPage = "https://quillbox.example.org/download/browser";

}  // namespace quillbox::addresses
