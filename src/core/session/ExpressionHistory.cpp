#include "core/session/ExpressionHistory.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/json/JsonDocument.h"
#include "core/platform/FileIO.h"
#include "core/platform/FsPath.h"

namespace quillbox::session {

namespace {

using Entries = std::map<std::string, std::vector<std::string>>;

// {"projects": [{"project": name, "entries": [oldest, ..., newest]}, ...]}
bool parseHistory(const std::string& text, Entries& entries) {
    JsonDocument doc;
    if (!doc.parse(text, true).ok || doc.kind("projects") != JsonKind::Array)
        return false;
    for (std::size_t i = 0; i < doc.count("projects"); ++i) {
        const JsonDocument project = doc.at("projects", i);
        if (project.kind("project") != JsonKind::String || project.kind("entries") != JsonKind::Array)
            continue;
        std::vector<std::string>& list = entries[project.text("project")];
        for (std::size_t j = 0; j < project.count("entries"); ++j)
            if (project.at("entries", j).kind() == JsonKind::String)
                list.push_back(project.at("entries", j).text());
    }
    return true;
}

std::string historyText(const Entries& entries) {
    JsonDocument doc = JsonDocument::makeObject();
    JsonDocument projects = JsonDocument::makeArray();
    for (const auto& [name, list] : entries) {
        JsonDocument project = JsonDocument::makeObject();
        project.setMember("", "project", JsonDocument::makeString(name));
        JsonDocument items = JsonDocument::makeArray();
        for (const std::string& entry : list)
            items.append("", JsonDocument::makeString(entry));
        project.setMember("", "entries", items);
        projects.append("", project);
    }
    doc.setMember("", "projects", projects);
    return doc.toJson();
}

void addTo(std::vector<std::string>& list, const std::string& expression) {
    std::erase(list, expression);
    list.push_back(expression);
    if (list.size() > ExpressionHistory::kLimit)
        list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(list.size() - ExpressionHistory::kLimit));
}

}  // namespace

ExpressionHistory::ExpressionHistory(std::string path) : path_(std::move(path)) { read(); }

void ExpressionHistory::read() {
    std::string text;
    Entries read;
    if (!path_.empty() && files::readAll(path_, text) && parseHistory(text, read))
        entries_ = std::move(read);
}

const std::vector<std::string>& ExpressionHistory::entries(const std::string& project) const {
    static const std::vector<std::string> none;
    const auto found = entries_.find(project);
    return found == entries_.end() ? none : found->second;
}

bool ExpressionHistory::add(const std::string& project, const std::string& expression, std::string* error) {
    if (expression.find_first_not_of(" \t\r\n") == std::string::npos)
        return true;
    // The file is the history: what another window added since is kept.
    read();
    addTo(entries_[project], expression);
    if (path_.empty())
        return true;
    std::error_code ec;
    std::filesystem::create_directories(files::fsPath(path_).parent_path(), ec);
    return files::writeAtomically(path_, historyText(entries_), error);
}

std::string historyPathBeside(const std::string& sessionPath) {
    const std::size_t slash = sessionPath.find_last_of('/');
    return (slash == std::string::npos ? std::string() : sessionPath.substr(0, slash + 1)) + "history.json";
}

bool HistoryWalk::older(const std::vector<std::string>& entries, const std::string& typed, std::string& shown) {
    if (entries.empty() || index_ == 0)
        return false;
    if (index_ == kNone || index_ > entries.size()) {
        draft_ = typed;
        index_ = entries.size();
    }
    shown = entries[--index_];
    return true;
}

bool HistoryWalk::newer(const std::vector<std::string>& entries, std::string& shown) {
    if (index_ == kNone)
        return false;
    if (index_ + 1 >= entries.size()) {
        index_ = kNone;
        shown = draft_;
        return true;
    }
    shown = entries[++index_];
    return true;
}

}  // namespace quillbox::session
