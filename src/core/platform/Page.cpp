#include "core/platform/Page.h"

#include "core/text/Text.h"

#include <atomic>

namespace quillbox {

std::uint64_t Page::nextRevision() {
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
}

void Page::appendText(const std::string& text) {
    const int last = lineCount();
    select(last, 999999, last, 999999);
    insert(text);
}

void Page::prependText(const std::string& text) {
    select(0, 0, 0, 0);
    insert(text);
}

std::size_t Page::textLength() { return text::gbkLength(getText()); }

std::size_t Page::lineLength(int line) { return text::gbkLength(getLine(line)); }

std::string Page::getTextPrefix(long n) {
    std::string all = getText();
    if (n < 0)
        return all;
    // n counts characters (UTF-16 units in the editor); cut at a character boundary.
    std::u16string wide = text::utf8ToUtf16(all);
    if (static_cast<std::size_t>(n) < wide.size())
        wide.resize(static_cast<std::size_t>(n));
    return text::utf16ToUtf8(wide);
}

std::size_t Page::utf8Length(long n) { return getTextPrefix(n).size(); }

}  // namespace quillbox
