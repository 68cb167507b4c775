#include "core/engine/TestPage.h"

#include "core/platform/FileIO.h"
#include "core/platform/Paths.h"
#include "core/text/Text.h"

namespace quillbox::engine {
namespace {

const char* const kTemplate =
    "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n    <meta charset=\"gbk\">\r\n    <title></title>\r\n</head>\r\n"
    "<style type=\"text/css\">\r\n    textarea.form-control {\r\n        border-radius: 0;\r\n    }\r\n</style>\r\n"
    "<body>\r\n    <textarea class=\"form-control\" rows=\"10\" id=\"content\"> \r\n                        </textarea>\r\n"
    "    <script type=\"text/javascript\">\r\n\n{js代码}\r\n        var content =({hanshu});\r\n"
    "        var element = document.getElementById(\"content\");\r\n        element.value= content;\r\n"
    "    </script>\r\n</body>\r\n</html>";

const char* const kModuleHeader = "//========================\r\n//       {code}.js\r\n//========================\r\n";

// Replaces every occurrence, scanning on after each inserted text so a replacement that
// itself holds the placeholder is not replaced again.
void replaceAll(std::string& text, const std::string& placeholder, const std::string& replacement) {
    for (std::size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + replacement.size())) {
        text.replace(at, placeholder.size(), replacement);
    }
}

}  // namespace

std::string testPageText(const ProjectStore& store, const std::string& project, const std::string& expression) {
    std::string script;
    for (const std::string& module : store.moduleNames(project)) {
        Page* page = store.page(store.findPage(project, module));
        if (!page)
            continue;
        std::string header = kModuleHeader;
        replaceAll(header, "{code}", module);
        script += header;
        script += page->getText();
        script += "\r\n\r\n\r\n\r\n\r\n";
    }
    std::string html = kTemplate;
    replaceAll(html, "{js代码}", script);
    replaceAll(html, "{hanshu}", expression.empty() ? std::string("1") : expression);
    return html;
}

bool writeTestPage(const ProjectStore& store, const std::string& project, const std::string& expression,
                   const std::string& path, std::string* error) {
    return files::writeAtomically(path, text::toGb18030(testPageText(store, project, expression)), error);
}

std::string testPagePath() { return paths::join(paths::homeDirectory(), kTestPageFileName); }

bool runInBrowser(const ProjectStore& store, const std::string& expression, Shell& shell, std::string* error) {
    if (!store.currentPage())
        return false;
    const std::string path = testPagePath();
    if (!writeTestPage(store, store.currentProject(), expression, path, error))
        return false;
    shell.open(path);
    return true;
}

}  // namespace quillbox::engine
