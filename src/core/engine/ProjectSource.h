#pragma once
// Opening a file as a project for the command line: a project script file is imported as
// it stands; any other JavaScript file becomes a project of one module, both named after
// the file (its name without directory and final ".js").
#include <string>

#include "core/project/ProjectStore.h"

namespace quillbox::engine {

struct OpenedProject {
    bool ok = false;
    std::string project;
    std::string error;  // why, when not ok
};

// Adds the project held by the file's bytes to the store and makes the page of its first
// module the current page.
OpenedProject openProjectSource(ProjectStore& store, const std::string& path, const std::string& bytes);

// The file's name without directory and final ".js".
std::string projectNameForFile(const std::string& path);

}  // namespace quillbox::engine
