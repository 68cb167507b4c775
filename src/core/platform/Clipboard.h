#pragma once
// The clipboard: one write puts an ordered list of entries, each under a format given by
// name ("EClipFormat", "text/plain") or by the Windows standard format number.
#include <string>
#include <vector>

namespace quillbox {

struct ClipboardEntry {
    std::string format;  // a format name, or empty when `number` names a standard format
    unsigned number = 0; // standard format number (1 text, 7 OEM text, 13 Unicode text, 16 locale)
    std::string bytes;
};

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Returns false when the clipboard could not be opened.
    virtual bool write(const std::vector<ClipboardEntry>& entries) = 0;
};

// Keeps the last write in memory.
class MemoryClipboard : public Clipboard {
public:
    bool write(const std::vector<ClipboardEntry>& entries) override {
        if (refuse)
            return false;
        last = entries;
        ++writes;
        return true;
    }
    std::vector<ClipboardEntry> last;
    int writes = 0;
    bool refuse = false;
};

}  // namespace quillbox
