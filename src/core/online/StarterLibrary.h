#pragma once
// The starter library: well-known npm packages for hashing and encoding, built into the
// program and written to "lib" when the directory has no index yet. The library update
// replaces it like any older library.
#include <string>
#include <vector>

namespace quillbox::online {

struct StarterModule {
    const char* displayName;  // the index's member name; says so when one engine is needed
    const char* fileName;     // inside "lib"; the licence goes beside it as fileName + ".LICENSE.txt"
    const char* package;      // npm package and version it comes from
    bool nativeEngine;        // loads in the native engine
    bool chakraCore;          // loads in ChakraCore
};

const std::vector<StarterModule>& starterModules();

// The version the starter index carries: any server library differs from it.
inline constexpr const char* kStarterVersion = "starter-1.30";

// The index text of the starter library (UTF-8).
std::string starterIndexText();

// Writes the starter library into directory when it holds no "lib.json": the modules,
// their licences and the index, the index last. True when it was written (false when an
// index was there or a file could not be written; error says which).
bool writeStarterLibraryIfMissing(const std::string& directory, std::string* error = nullptr);

// Writes the starter library into directory whatever is there (release site's default).
bool writeStarterLibrary(const std::string& directory, std::string* error = nullptr);

}  // namespace quillbox::online
