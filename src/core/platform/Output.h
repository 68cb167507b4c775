#pragma once
// The two output boxes of the main window: the output box (tab 0) takes message lines,
// the console box (tab 1) takes console lines and error console lines.
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace quillbox {

class Output {
public:
    virtual ~Output() = default;
    virtual void messageLine(const std::string& text) = 0;
    virtual void consoleLine(const std::string& type, const std::string& message) = 0;
    virtual void errorConsoleLine(const std::string& type, const std::string& message) = 0;
    // 0: the output box, 1: the console box.
    virtual void chooseTab(int tab) = 0;
    virtual int currentTab() const = 0;
    // Empties the box on the tab that is showing.
    virtual void clear() = 0;
};

// Plain text form of a line, as the command line prints it: ">>" and the text for a
// message line, ">>[" type "] " and the message for a console line with a type.
std::string formatMessageLine(const std::string& text);
std::string formatConsoleLine(const std::string& type, const std::string& message);

// Keeps every line in order, in the plain text form; optionally echoes each to a stream.
class RecordingOutput : public Output {
public:
    enum class Kind { Message, Console, ErrorConsole };
    struct Line {
        Kind kind;
        std::string type;
        std::string text;
        bool operator==(const Line&) const = default;
    };

    explicit RecordingOutput(std::ostream* echo = nullptr) : echo_(echo) {}

    void messageLine(const std::string& text) override;
    void consoleLine(const std::string& type, const std::string& message) override;
    void errorConsoleLine(const std::string& type, const std::string& message) override;
    void chooseTab(int tab) override { tab_ = tab; }
    int currentTab() const override { return tab_; }
    void clear() override;

    std::vector<Line> lines;
    // Every line in its plain text form, in order.
    std::vector<std::string> texts() const;

private:
    void add(Line line);
    std::ostream* echo_;
    int tab_ = 0;
};

}  // namespace quillbox
