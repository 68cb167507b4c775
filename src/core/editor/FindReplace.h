#pragma once
// The find/replace tool window "查找/替换" and the go-to-line command, over the current
// editor page. The desktop program shows the window and hands its controls' state here;
// a null page (no module open) makes every command do nothing.
#include <optional>
#include <string>

#include "core/platform/Page.h"

namespace quillbox {
class Dialogs;
}

namespace quillbox::editor {

// What the window's controls hold.
struct FindReplaceForm {
    std::string needle;          // 编辑框_查找
    std::string replacement;     // 编辑框_替换
    bool wholeWord = false;      // 选择框_全字匹配
    bool caseSensitive = false;  // 选择框_大小写
    bool regExp = false;         // 选择框_正则
};

enum class SearchOption { WholeWord, CaseSensitive, RegExp };

// A click on one of the three check boxes: the box changes its mark and, when it is now
// checked, clears the other two; at most one search option is on.
void clickSearchOption(FindReplaceForm& form, SearchOption option);

// 按钮_查找: finds the needle forwards with the checked option and selects the match.
void findInPage(Page* page, const FindReplaceForm& form);

// 按钮_替换一个: finds, then replaces the match. Returns the caption for 标签_提示:
// "替换成功" or "替换失败" ("" without a page).
std::string replaceOneInPage(Page* page, const FindReplaceForm& form);

// 按钮_替换全部: finds, then replaces every match. Returns "替换成功 共替换" n "项", or
// "替换失败" when nothing matched ("" without a page).
std::string replaceAllInPage(Page* page, const FindReplaceForm& form);

// Where go to line goes: "L" or "L:C" (also with "："), both counted from 1.
struct LinePlace {
    long line = 0;
    long column = 0;  // 0: none given
};
// Nothing for a line below 1, or a column that is given but not a number from 1.
std::optional<LinePlace> linePlace(const std::string& answer);

// Go to line: asks "请输入跳转行数" with the number of the last line proposed, asks again
// after "请输入正确的行数" while the answer is below 1, then selects the whole line. An
// answer "L:C" puts the cursor on the character at column C of line L (the error places the
// output shows read so) and selects it. A cancelled or empty answer ends the command.
void goToLine(Page* page, Dialogs& dialogs);

}  // namespace quillbox::editor
