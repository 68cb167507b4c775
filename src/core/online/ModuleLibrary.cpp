#include "core/online/ModuleLibrary.h"

#include <algorithm>

#include "core/platform/FileIO.h"
#include "core/platform/Paths.h"
#include "core/project/ProjectStore.h"
#include "core/text/Text.h"

namespace quillbox::online {
namespace {

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return out;
}

bool insideDirectory(const std::string& file) {
    return !file.empty() && file.find('/') == std::string::npos && file.find('\\') == std::string::npos &&
           file != "." && file != "..";
}

}  // namespace

std::string libraryDirectory() { return paths::join(paths::homeDirectory(), "lib"); }

ModuleLibrary::ModuleLibrary(std::string directory) : directory_(std::move(directory)) {}

void ModuleLibrary::load() {
    clear();
    std::string bytes;
    if (!files::readAll(paths::join(directory_, "lib.json"), bytes))
        return;
    if (!index_.parse(text::decodeFileText(bytes)).ok) {
        index_.clear();
        return;
    }
    index_.memberNames("data", names_);
}

void ModuleLibrary::clear() {
    index_.clear();
    names_.clear();
}

std::vector<std::string> ModuleLibrary::filter(std::string_view text) const {
    if (text.empty())
        return names_;
    const std::string wanted = lowered(text);
    std::vector<std::string> out;
    for (const std::string& name : names_)
        if (lowered(name).find(wanted) != std::string::npos)
            out.push_back(name);
    return out;
}

std::string ModuleLibrary::code(const std::string& name) const {
    const std::string file = index_.member("data", name).string();
    if (!insideDirectory(file))
        return {};
    std::string bytes;
    if (!files::readAll(paths::join(directory_, file), bytes))
        return {};
    return text::decodeFileText(bytes);
}

NodeId insertLibraryPick(ProjectStore& store, const LibraryPick& pick) {
    if (pick.module.empty() || pick.code.empty())
        return kNoNode;
    const NodeId node = store.addModuleCore(pick.module, pick.code);
    if (node != kNoNode)
        store.selectNode(node);
    return node;
}

}  // namespace quillbox::online
