#include "core/ecode/ProjectSource.h"

#include "core/project/ProjectStore.h"
#include "core/text/Text.h"

namespace quillbox::ecode {

ProjectSource addProjectSource(ProjectStore& store, const std::string& path, const std::string& bytes) {
    ProjectSource source;
    const ImportResult imported = store.importBytes(bytes);
    switch (imported.outcome) {
    case ImportOutcome::Imported:
        source.ok = true;
        source.project = imported.project;
        return source;
    case ImportOutcome::NoProject:
        break;  // a plain script: one module below
    default:
        source.error = imported.detail.empty() ? "the project in the file cannot be imported" : imported.detail;
        return source;
    }

    std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    if (name.size() >= 3 && name.compare(name.size() - 3, 3, ".js") == 0)
        name.resize(name.size() - 3);
    store.selectNode(store.addProjectCore(name));
    if (store.addModuleCore(name, text::decodeFileText(bytes)) == kNoNode) {
        source.error = "cannot make a module of " + path;
        return source;
    }
    source.ok = true;
    source.project = name;
    return source;
}

}  // namespace quillbox::ecode
