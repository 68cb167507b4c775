#pragma once
// The update server's tree for one release, signed with the release key, so a maintainer
// publishes with our own tool (any static web server can serve the tree):
//
//   Quillbox/Quillbox_config.txt         version file: the signed release text (Update.signed,
//                                        Update.signature) and, for older programs, Ver and
//                                        Update.url/size/data/sha256/sig
//   Quillbox/Quillbox_config_all.txt     change log, newest release first
//   Quillbox/download/VER/NAME           the program
//   Quillbox/lib/lib.json, lib.json.sig  library index with the files' digests and sizes and a
//                                        sequence number ("seq"), and its signature
//   Quillbox/lib/FILE ...                library files (and their licences)
#include <string>
#include <vector>

namespace quillbox::online {

struct ReleasePlan {
    std::string outputDirectory;
    std::string keyText;         // the key file's text
    std::string version;
    std::string binaryPath;
    std::string url;             // where the program will be served; "" = the update server's download path
    std::string size;            // shown before the download; "" = computed from the program's size
    std::vector<std::string> notes;
    std::string libraryDirectory;  // a library with its lib.json; "" = the starter library
    long long librarySequence = 0; // the index's "seq"; 0 = the time in seconds since 1970
};

// Writes the tree. False with the reason in error; files already written may remain.
bool writeReleaseSite(const ReleasePlan& plan, std::string* error);

// "1.5MB", "12.0KB", "300B": the size text shown when none was given.
std::string sizeText(std::size_t bytes);

}  // namespace quillbox::online
