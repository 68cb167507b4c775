#include "core/editor/FindReplace.h"

#include <algorithm>
#include <climits>
#include <optional>

#include "core/platform/Dialogs.h"

namespace quillbox::editor {
namespace {

FindOptions optionsOf(const FindReplaceForm& form) {
    FindOptions options;
    options.caseSensitive = form.caseSensitive;
    options.wholeWord = form.wholeWord;
    options.regExp = form.regExp;
    return options;
}

// Leading spaces, a sign and the leading digits, as the integer input box reads them.
long lineNumber(const std::string& text) {
    std::size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos)
        return 0;
    bool negative = false;
    if (text[i] == '-' || text[i] == '+')
        negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<long>(value * 10 + (text[i] - '0'), INT_MAX);
    return negative ? -value : value;
}

}  // namespace

std::optional<LinePlace> linePlace(const std::string& answer) {
    LinePlace place;
    place.line = lineNumber(answer);
    const std::size_t ascii = answer.find(':');
    const std::size_t wide = answer.find("：");
    const std::size_t colon = std::min(ascii, wide);
    if (colon != std::string::npos) {
        const std::size_t after = colon == ascii ? colon + 1 : colon + std::string("：").size();
        const std::string rest = answer.substr(after);
        if (rest.find_first_not_of(" \t") == std::string::npos || lineNumber(rest) < 1)
            return std::nullopt;
        place.column = lineNumber(rest);
    }
    if (place.line < 1)
        return std::nullopt;
    return place;
}

void clickSearchOption(FindReplaceForm& form, SearchOption option) {
    bool* boxes[] = {&form.wholeWord, &form.caseSensitive, &form.regExp};
    bool* clicked = boxes[static_cast<int>(option)];
    *clicked = !*clicked;
    if (*clicked)
        for (bool* box : boxes)
            if (box != clicked)
                *box = false;
}

void findInPage(Page* page, const FindReplaceForm& form) {
    if (page)
        page->find(form.needle, optionsOf(form));
}

std::string replaceOneInPage(Page* page, const FindReplaceForm& form) {
    if (!page)
        return "";
    findInPage(page, form);
    return page->replace(form.replacement) ? "替换成功" : "替换失败";
}

std::string replaceAllInPage(Page* page, const FindReplaceForm& form) {
    if (!page)
        return "";
    findInPage(page, form);
    const int count = page->replaceAll(form.replacement);
    if (count == 0)
        return "替换失败";
    return "替换成功 共替换" + std::to_string(count) + "项";
}

void goToLine(Page* page, Dialogs& dialogs) {
    if (!page)
        return;
    const std::string proposed = std::to_string(page->lineCount());
    for (;;) {
        const auto answer = dialogs.inputBox("请输入跳转行数", proposed);
        if (!answer || answer->find_first_not_of(" \t") == std::string::npos)
            return;
        const std::optional<LinePlace> place = linePlace(*answer);
        if (!place) {
            dialogs.messageBox("请输入正确的行数", "", MessageIcon::Warning, MessageButtons::Ok);
            continue;
        }
        const int line = static_cast<int>(place->line);
        page->gotoLine(line);
        if (place->column > 0) {
            // The character at the column, which the editor clips to the line's end.
            const int column = static_cast<int>(place->column);
            page->select(line, column, line, column);
        } else {
            page->select(line, 0, line, 999999);
        }
        return;
    }
}

}  // namespace quillbox::editor
