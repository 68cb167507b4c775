#pragma once
// The two output boxes of the main window: the output box (tab 0) takes message lines,
// the console box (tab 1) takes console lines and error console lines.
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace quillbox {

// Where an error lies, for the outputs that can show it (engine/ErrorPlace.h makes one).
struct ErrorSpot {
    std::string page;      // the page name of the module it lies in; "" for the expression itself
    int line = 0;          // 1-based
    int column = 0;        // 0-based, in UTF-16 units
    std::string excerpt;   // the line, or the part of it around the column (never a whole long line)
    int caret = 0;         // the column's place in `excerpt`, in UTF-16 units
    bool evaluation = false;  // told by an evaluation (else by a load)
    bool operator==(const ErrorSpot&) const = default;
};

// An evaluation's result that has members (an object, an array), one level of it: what the
// window shows as a tree the user opens level by level.
struct ObjectEntry {
    std::string key;
    std::string type;     // "object", "array", "function", "string", "number", "boolean", "null", "undefined"
    std::string preview;  // "Object {3}", "Array(2)", a function's first line, a string as JSON, a number
    bool expandable = false;
    bool operator==(const ObjectEntry&) const = default;
};
struct ObjectNode {
    std::string type;
    std::string preview;
    std::vector<ObjectEntry> entries;  // at most 100, in the engine's order
    bool truncated = false;            // more members than shown
    bool operator==(const ObjectNode&) const = default;
};

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

    // The expression an evaluation runs, before what it gives. Plain outputs write nothing.
    virtual void echo(const std::string& expression) { (void)expression; }
    // A line of an evaluation's error: a message line, unless the output keeps evaluations
    // in a transcript of their own.
    virtual void evaluationError(const std::string& text) { messageLine(text); }
    // Where the error just told lies, for outputs that can show it (the window: the excerpt
    // with a caret under the column, and a module's place as a link that opens it).
    virtual void errorSpot(const ErrorSpot& spot) { (void)spot; }
    // The evaluation's result has members: its first level, for the window's result tree.
    virtual void objectResult(const std::string& expression, const ObjectNode& root) {
        (void)expression;
        (void)root;
    }
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
    void echo(const std::string& expression) override { echoes.push_back(expression); }
    void errorSpot(const ErrorSpot& spot) override { spots.push_back(spot); }
    void objectResult(const std::string&, const ObjectNode& root) override { objects.push_back(root); }

    std::vector<Line> lines;
    // What only the window shows: the evaluations' echoes and the errors' spots.
    std::vector<std::string> echoes;
    std::vector<ErrorSpot> spots;
    std::vector<ObjectNode> objects;
    // Every line in its plain text form, in order.
    std::vector<std::string> texts() const;

private:
    void add(Line line);
    std::ostream* echo_;
    int tab_ = 0;
};

}  // namespace quillbox
