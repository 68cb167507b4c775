#pragma once
// The module library: ready-made JavaScript modules in the "lib" directory, listed by the
// index "lib.json" ({"ver": ..., "data": {display name: file name}}), and the picking of
// one into a project.
#include <string>
#include <string_view>
#include <vector>

#include "core/json/JsonDocument.h"
#include "core/project/ProjectTree.h"

namespace quillbox {
class ProjectStore;
}

namespace quillbox::online {

// The home directory's "lib".
std::string libraryDirectory();

class ModuleLibrary {
public:
    explicit ModuleLibrary(std::string directory = libraryDirectory());

    // Reads the index again. A missing or unreadable index gives no names.
    void load();
    // Forgets the index.
    void clear();

    // Display names in index order.
    const std::vector<std::string>& names() const { return names_; }
    // The names containing the filter text, ignoring letter case; every name when it is empty.
    std::vector<std::string> filter(std::string_view text) const;
    // The text of the module file of a display name, looked up as an exact member name; ""
    // when the name is not listed, its file name leaves the directory, or the file is missing.
    std::string code(const std::string& name) const;

    const std::string& directory() const { return directory_; }

private:
    std::string directory_;
    JsonDocument index_;
    std::vector<std::string> names_;
};

// What the library window hands back: the picked display name and its code, or "null" and
// "" when it was cancelled.
struct LibraryPick {
    std::string module = "null";
    std::string code;
};

// Adds the pick as a module of the selected project (the add-module checks and messages
// apply) and selects its node. Nothing happens when the name or the code is empty.
// Returns the new node, or kNoNode.
NodeId insertLibraryPick(ProjectStore& store, const LibraryPick& pick);

}  // namespace quillbox::online
