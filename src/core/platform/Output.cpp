#include "core/platform/Output.h"

namespace quillbox {

std::string formatMessageLine(const std::string& text) { return ">>" + text; }

std::string formatConsoleLine(const std::string& type, const std::string& message) {
    if (type.empty())
        return ">>" + message;
    return ">>[" + type + "] " + message;
}

namespace {
std::string plain(const RecordingOutput::Line& line) {
    if (line.kind == RecordingOutput::Kind::Message)
        return formatMessageLine(line.text);
    return formatConsoleLine(line.type, line.text);
}
}  // namespace

void RecordingOutput::add(Line line) {
    if (echo_)
        *echo_ << plain(line) << '\n' << std::flush;
    lines.push_back(std::move(line));
}

void RecordingOutput::messageLine(const std::string& text) { add({Kind::Message, "", text}); }

void RecordingOutput::consoleLine(const std::string& type, const std::string& message) {
    add({Kind::Console, type, message});
}

void RecordingOutput::errorConsoleLine(const std::string& type, const std::string& message) {
    add({Kind::ErrorConsole, type, message});
}

void RecordingOutput::clear() {
    const Kind box = tab_ == 0 ? Kind::Message : Kind::Console;
    std::erase_if(lines, [box](const Line& l) {
        return box == Kind::Message ? l.kind == Kind::Message : l.kind != Kind::Message;
    });
}

std::vector<std::string> RecordingOutput::texts() const {
    std::vector<std::string> all;
    for (const Line& l : lines)
        all.push_back(plain(l));
    return all;
}

}  // namespace quillbox
