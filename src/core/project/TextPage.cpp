#include "core/project/TextPage.h"

namespace quillbox {

TextPage::TextPage(std::string name, std::string text) : name_(std::move(name)), text_(std::move(text)) {}

MemoryPage& TextPage::editor() {
    if (!editor_) {
        editor_ = std::make_unique<MemoryPage>(name_, text_);
        editor_->setVisible(visible_);
        std::string().swap(text_);
    }
    return *editor_;
}

void TextPage::setName(const std::string& name) {
    name_ = name;
    if (editor_)
        editor_->setName(name);
}

void TextPage::setVisible(bool visible) {
    visible_ = visible;
    if (editor_)
        editor_->setVisible(visible);
}

std::string TextPage::getText() { return editor_ ? editor_->getText() : text_; }

void TextPage::setText(const std::string& text) {
    if (editor_)
        editor_->setText(text);
    else {
        text_ = text;
        markChanged();
    }
}

int TextPage::lineCount() { return editor().lineCount(); }
void TextPage::gotoLine(int line) { editor().gotoLine(line); }
void TextPage::select(int startRow, int startColumn, int endRow, int endColumn) {
    editor().select(startRow, startColumn, endRow, endColumn);
}
void TextPage::insert(const std::string& text) { editor().insert(text); }
std::string TextPage::getLine(int line) { return editor().getLine(line); }
void TextPage::find(const std::string& needle, const FindOptions& options) { editor().find(needle, options); }
void TextPage::findStep() { editor().findStep(); }
SelectionRange TextPage::selectionRange() { return editor().selectionRange(); }
std::string TextPage::selectedText() { return editor().selectedText(); }
bool TextPage::replace(const std::string& replacement) { return editor().replace(replacement); }
int TextPage::replaceAll(const std::string& replacement) { return editor().replaceAll(replacement); }

}  // namespace quillbox
