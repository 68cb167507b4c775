#include "core/engine/ErrorPlace.h"

#include <algorithm>

#include "core/text/Text.h"

namespace quillbox::engine {

namespace {

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

Excerpt excerptAround(const std::string& line, int column, int width) {
    std::u16string units = text::utf8ToUtf16(line);
    // A line break left at the end (CR of CR LF) is not part of what is shown.
    while (!units.empty() && (units.back() == u'\r' || units.back() == u'\n'))
        units.pop_back();
    const int length = static_cast<int>(units.size());
    column = std::clamp(column, 0, length);
    width = std::max(width, 8);
    if (length <= width)
        return {text::utf16ToUtf8(units), column};
    // The column sits a third of the way in, so more of what follows it shows: that is where
    // the reader goes on.
    int start = std::max(0, column - width / 3);
    int end = std::min(length, start + width);
    start = std::max(0, end - width);
    // A cut never splits a surrogate pair.
    if (start > 0 && isLowSurrogate(units[static_cast<std::size_t>(start)]))
        ++start;
    if (end < length && end > 0 && isHighSurrogate(units[static_cast<std::size_t>(end - 1)]))
        --end;
    Excerpt excerpt;
    const std::u16string mark = text::utf8ToUtf16(kCutMark);
    std::u16string shown;
    if (start > 0)
        shown = mark;
    shown += units.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    if (end < length)
        shown += mark;
    excerpt.text = text::utf16ToUtf8(shown);
    excerpt.caret = column - start + (start > 0 ? static_cast<int>(mark.size()) : 0);
    return excerpt;
}

ErrorSpot spotOf(const std::string& page, int line, int column, const std::string& lineText) {
    ErrorSpot spot;
    spot.page = page;
    spot.line = line;
    spot.column = std::max(column, 0);
    const Excerpt excerpt = excerptAround(lineText, spot.column);
    spot.excerpt = excerpt.text;
    spot.caret = excerpt.caret;
    return spot;
}

}  // namespace quillbox::engine
