#pragma once
// Find, replace and go to line on one editor page. No window here: the tool window reads
// its controls and calls these, so the same steps run against any page.
#include <string>

namespace quillbox {
class Page;
class Dialogs;
}

namespace quillbox::app {

struct SearchChoice {
    bool wholeWord = false;
    bool caseSensitive = false;
    bool regExp = false;
};

// Finds the next match of the needle (forwards, wrapping) and selects it.
void findInPage(Page& page, const std::string& needle, const SearchChoice& choice);
// Finds, then replaces the match; returns the hint text: "替换成功" or "替换失败".
std::string replaceOneInPage(Page& page, const std::string& needle, const std::string& replacement,
                             const SearchChoice& choice);
// Finds, then replaces every match; "替换成功 共替换" n "项", or "替换失败" when none.
std::string replaceAllInPage(Page& page, const std::string& needle, const std::string& replacement,
                             const SearchChoice& choice);
// Asks for a line (proposing the last one) until the answer is at least 1, then selects
// that whole line. A cancelled question changes nothing.
void goToLine(Page& page, Dialogs& dialogs);

// The text-to-integer rule of the settings and input boxes: optional sign, leading
// digits, 0 when there are none.
long leadingInteger(const std::string& text);

}  // namespace quillbox::app
