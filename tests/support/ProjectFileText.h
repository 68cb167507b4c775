#pragma once
// Project script file texts as export writes them, for the tests that read or write such
// files.
#include <string>
#include <utility>
#include <vector>

namespace quillbox::test {

// The line of '=' signs that frames every block of the file.
inline const std::string kSep = "//========================";

// The project demo with the one module main ("var a=1;") on the last page, byte for byte.
inline const std::string kWorkedExample =
    "//========================\r\n"
    "//       START   demo\r\n"
    "//========================\r\n"
    "\r\n"
    "//========================\r\n"
    "//       main.js\r\n"
    "//========================\r\n"
    "var a=1;\r\n"
    "\r\n"
    "//========================\r\n"
    "//       END   demo\r\n"
    "//========================\r\n"
    "\r\n"
    "//Quillbox By Zorvan 1.30";

// A project file with these module names and codes, the last module on the last page.
inline std::string projectFileText(const std::string& project,
                                   const std::vector<std::pair<std::string, std::string>>& modules) {
    std::string text = kSep + "\r\n//       START   " + project + "\r\n" + kSep + "\r\n\r\n";
    for (std::size_t i = 0; i < modules.size(); ++i)
        text += kSep + "\r\n//       " + modules[i].first + ".js\r\n" + kSep + "\r\n" + modules[i].second +
                (i + 1 == modules.size() ? "\r\n" : "\r\n\r\n\r\n\r\n\r\n");
    return text + "\r\n" + kSep + "\r\n//       END   " + project + "\r\n" + kSep + "\r\n\r\n//Quillbox By Zorvan 1.30";
}

}  // namespace quillbox::test
