#include "core/ecode/FileClipboard.h"

#include "core/platform/FileIO.h"

namespace quillbox::ecode {

void FileClipboard::route(const std::string& formatName, const std::string& path) {
    routes_.push_back({formatName, 0, path});
}

void FileClipboard::route(unsigned formatNumber, const std::string& path) { routes_.push_back({"", formatNumber, path}); }

bool FileClipboard::write(const std::vector<ClipboardEntry>& entries) {
    error_.clear();
    for (const Route& r : routes_) {
        const ClipboardEntry* found = nullptr;
        for (const ClipboardEntry& e : entries)
            if (r.formatName.empty() ? (e.format.empty() && e.number == r.formatNumber) : e.format == r.formatName) {
                found = &e;
                break;
            }
        if (!found) {
            error_ = "no clipboard entry of format " +
                     (r.formatName.empty() ? std::to_string(r.formatNumber) : r.formatName);
            return false;
        }
        if (r.path == "-") {
            stdout_.write(found->bytes.data(), static_cast<std::streamsize>(found->bytes.size()));
            stdout_.flush();
            if (!stdout_) {
                error_ = "cannot write to standard output";
                return false;
            }
        } else if (std::string why; !files::writeAtomically(r.path, found->bytes, &why)) {
            error_ = "cannot write " + why;
            return false;
        }
    }
    return true;
}

}  // namespace quillbox::ecode
