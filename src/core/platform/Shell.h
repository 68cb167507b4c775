#pragma once
// Opening a URL or a file with the desktop's default program.
#include <string>
#include <vector>

namespace quillbox {

class Shell {
public:
    virtual ~Shell() = default;
    virtual bool open(const std::string& urlOrPath) = 0;
};

// Records the requests instead of opening anything.
class RecordingShell : public Shell {
public:
    bool open(const std::string& urlOrPath) override {
        opened.push_back(urlOrPath);
        return answer;
    }
    std::vector<std::string> opened;
    bool answer = true;  // false: as if no program could be started
};

}  // namespace quillbox
