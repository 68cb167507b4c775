#include "app/EditorCommands.h"

#include <cctype>
#include <climits>

#include "core/platform/Dialogs.h"
#include "core/platform/Page.h"

namespace quillbox::app {

long leadingInteger(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        if (value > (LONG_MAX - 9) / 10)
            break;  // absurd numbers stop growing instead of overflowing
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

void findInPage(Page& page, const std::string& needle, const SearchChoice& choice) {
    FindOptions options;
    options.backwards = false;
    options.caseSensitive = choice.caseSensitive;
    options.wholeWord = choice.wholeWord;
    options.regExp = choice.regExp;
    page.find(needle, options);
}

std::string replaceOneInPage(Page& page, const std::string& needle, const std::string& replacement,
                             const SearchChoice& choice) {
    findInPage(page, needle, choice);
    return page.replace(replacement) ? "替换成功" : "替换失败";
}

std::string replaceAllInPage(Page& page, const std::string& needle, const std::string& replacement,
                             const SearchChoice& choice) {
    findInPage(page, needle, choice);
    const int count = page.replaceAll(replacement);
    if (count == 0)
        return "替换失败";
    return "替换成功 共替换" + std::to_string(count) + "项";
}

void goToLine(Page& page, Dialogs& dialogs) {
    const std::string proposal = std::to_string(page.lineCount());
    long line = 0;
    for (;;) {
        const auto answer = dialogs.inputBox("请输入跳转行数", proposal);
        if (!answer)
            return;
        line = leadingInteger(*answer);
        if (line >= 1)
            break;
        dialogs.messageBox("请输入正确的行数", "提示", MessageIcon::Warning, MessageButtons::Ok);
    }
    const int row = line > INT_MAX ? INT_MAX : static_cast<int>(line);
    page.gotoLine(row);
    page.select(row, 0, row, 999999);
}

}  // namespace quillbox::app
