#pragma once
// The project script file: one project with the code of its modules, framed by comment
// blocks so that a plain script host can still run the file. Texts here are UTF-8; the
// file itself is GB18030 (see ProjectStore).
//
//   //========================
//   //       START   demo
//   //========================
//   (empty line)
//   //========================
//   //       main.js
//   //========================
//   var a=1;                      <- the module's code as the editor holds it
//   (tail: CR LF after the last page, else five CR LF)
//   (one CR LF)
//   //========================
//   //       END   demo
//   //========================
//   (CR LF) //Quillbox By Zorvan 1.30   <- signature, no line end after it
#include <string>
#include <string_view>
#include <vector>

namespace quillbox::project_file {

inline constexpr std::string_view kSeparator = "//========================";
inline constexpr std::string_view kSignatureMark = "//Quillbox By Zorvan";
inline constexpr std::string_view kSignature = "\r\n//Quillbox By Zorvan 1.30";

struct ExportedModule {
    std::string name;  // without ".js"
    std::string code;
    bool lastPage = false;  // its page is the last page of the page list
};

// The whole file text for project with these modules in order.
std::string build(const std::string& project, const std::vector<ExportedModule>& modules);

struct SplitProject {
    bool ok = true;           // false only when the regular expressions failed
    std::string error;        // why, when !ok
    std::string name;         // "" when the text holds no project
    std::vector<std::string> moduleNames;
    std::vector<std::string> codes;  // same length as moduleNames ("" where a code is missing)
    std::string unsplit;             // the text given back whole when it holds no project
};

// Splits a file's text into the project name (spaces removed), the module names and
// their codes, exactly as the importer always has: codes keep the line breaks the
// format added after them. Takes the text by value so it can be released early; a text
// that holds no project comes back in `unsplit`.
SplitProject split(std::string text);

// Whether `text` (a file's text as import reads it) imports back as `project` with these
// modules: the same project name (spaces apart, which import drops), the same module names
// in order, and each module's code followed only by the line breaks the format adds.
// "" when it does, else which module (or the project name) cannot be stored, as the
// export's message says it.
std::string checkRoundTrip(const std::string& project, const std::vector<ExportedModule>& modules,
                           std::string text);

}  // namespace quillbox::project_file
