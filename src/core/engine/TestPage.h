#pragma once
// The browser test page: the project's modules and the expression in one HTML page
// ("Js_Test.html" in the home directory), opened in the desktop's default browser.
#include <string>

#include "core/platform/Shell.h"
#include "core/project/ProjectStore.h"

namespace quillbox::engine {

inline constexpr const char* kTestPageFileName = "Js_Test.html";

// The page text (UTF-8) for the project's modules that have a page, in stored order, and
// the expression ("1" when empty).
std::string testPageText(const ProjectStore& store, const std::string& project, const std::string& expression);

// Writes the page for the project, in GB18030 as its meta tag says, replacing any earlier
// file. False with the reason in `error` when it could not be written.
bool writeTestPage(const ProjectStore& store, const std::string& project, const std::string& expression,
                   const std::string& path, std::string* error = nullptr);

// The path the command writes: Js_Test.html in the home directory.
std::string testPagePath();

// The command: needs a current page; writes the page for its project and opens it. False
// (and nothing opened) when there is no current page or the file could not be written.
bool runInBrowser(const ProjectStore& store, const std::string& expression, Shell& shell,
                  std::string* error = nullptr);

}  // namespace quillbox::engine
