#include "core/platform/Dialogs.h"

namespace quillbox {

MessageAnswer ScriptedDialogs::messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                                          MessageButtons buttons) {
    records.push_back({DialogRecord::Message, text, title, icon, buttons});
    if (buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    if (yesNoAnswers.empty())
        return MessageAnswer::No;
    const MessageAnswer answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedDialogs::inputBox(const std::string& prompt, const std::string& initialText,
                                                     const std::string&) {
    records.push_back({DialogRecord::Input, prompt, initialText});
    if (inputAnswers.empty())
        return std::nullopt;
    auto answer = inputAnswers.front();
    inputAnswers.pop_front();
    return answer;
}

std::string ScriptedDialogs::saveFileDialog(const SaveFileRequest& request) {
    records.push_back({DialogRecord::SaveFile, request.title, ""});
    lastSaveRequest = request;
    if (saveAnswers.empty())
        return "";
    std::string answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

std::vector<std::string> ScriptedDialogs::messages() const {
    std::vector<std::string> texts;
    for (const DialogRecord& r : records)
        if (r.kind == DialogRecord::Message)
            texts.push_back(r.text);
    return texts;
}

}  // namespace quillbox
