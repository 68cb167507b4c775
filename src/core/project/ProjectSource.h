#pragma once
// The project that a file given on the command line holds. A project script file is
// imported as the import command does; any other file is taken as a project of one module,
// the project and the module both named after the file (its name without directory and
// final ".js").
#include <string>

namespace quillbox {

class Dialogs;
class ProjectStore;

struct ProjectSource {
    bool ok = false;
    std::string project;  // the project's name in the store
    std::string error;    // why not, when !ok
};

// Adds the project held by `bytes` (the contents of the file at `path`) to the store.
ProjectSource addProjectSource(ProjectStore& store, const std::string& path, const std::string& bytes);

// As addProjectSource, then makes the page of the project's first module the current page,
// as loading and the test page need; a project without modules is refused.
ProjectSource openProjectSource(ProjectStore& store, const std::string& path, const std::string& bytes);

// A file the user drops on the tree or names on the program's command line: a project
// script file is imported; any other script becomes a project of one module, as above.
// The user is told what stops it (the file cannot be read, the name is taken, or the
// import refused it). The name of the project added; "" when none was.
std::string openUserFile(ProjectStore& store, Dialogs& dialogs, const std::string& path);

// The file's name without directory and final ".js" (a file named just ".js" keeps it).
std::string projectNameForFile(const std::string& path);

}  // namespace quillbox
