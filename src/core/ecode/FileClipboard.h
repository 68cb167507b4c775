#pragma once
// A clipboard for the command line: each entry whose format was routed to a file is
// written there ("-" is standard output); entries without a route are dropped.
#include <ostream>
#include <string>
#include <vector>

#include "core/platform/Clipboard.h"

namespace quillbox::ecode {

class FileClipboard : public Clipboard {
public:
    explicit FileClipboard(std::ostream& standardOutput) : stdout_(standardOutput) {}

    // Entries with this format name go to path.
    void route(const std::string& formatName, const std::string& path);
    // Entries of this standard format number (and no format name) go to path.
    void route(unsigned formatNumber, const std::string& path);

    // Writes every routed entry, each file replaced whole or not at all. False (with the
    // reason in error()) when a destination could not be written or a route matched no entry.
    bool write(const std::vector<ClipboardEntry>& entries) override;
    const std::string& error() const { return error_; }

private:
    struct Route {
        std::string formatName;
        unsigned formatNumber = 0;
        std::string path;
    };
    std::ostream& stdout_;
    std::vector<Route> routes_;
    std::string error_;
};

}  // namespace quillbox::ecode
