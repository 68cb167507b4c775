#pragma once
// Modal dialogue with the user. The desktop program shows real boxes; ScriptedDialogs
// answers from a script given in advance and refuses by default.
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace quillbox {

enum class MessageIcon { None, Warning, Error, Information, Question };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct SaveFileRequest {
    std::string title;
    std::string filter;            // as "js文件(*.js)|*.js"
    std::string defaultExtension;  // as ".js"
    std::string initialDirectory;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MessageAnswer messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                                     MessageButtons buttons) = 0;
    // The confirmed text, or nothing when cancelled.
    virtual std::optional<std::string> inputBox(const std::string& prompt, const std::string& initialText,
                                                const std::string& title = "") = 0;
    // The chosen path, or "" when cancelled.
    virtual std::string saveFileDialog(const SaveFileRequest& request) = 0;
};

// What a ScriptedDialogs was asked, in order.
struct DialogRecord {
    enum Kind { Message, Input, SaveFile } kind;
    std::string text;   // message text, input prompt or save-dialog title
    std::string title;  // message title, or the input box's initial text
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

class ScriptedDialogs : public Dialogs {
public:
    // Answers used in order; when a queue is empty the box is refused (No, cancel, "").
    std::deque<MessageAnswer> yesNoAnswers;
    std::deque<std::optional<std::string>> inputAnswers;
    std::deque<std::string> saveAnswers;
    std::vector<DialogRecord> records;

    MessageAnswer messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                             MessageButtons buttons) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& initialText,
                                        const std::string& title = "") override;
    std::string saveFileDialog(const SaveFileRequest& request) override;

    // The texts of the message boxes shown, in order.
    std::vector<std::string> messages() const;
    SaveFileRequest lastSaveRequest;
};

}  // namespace quillbox
