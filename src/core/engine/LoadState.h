#pragma once
// What each engine holds, and whether it is what the user sees: an evaluation against code
// that was edited since its load, or against another project or engine than the one
// chosen, is never run silently (the window loads first and says so).
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/engine/EngineKind.h"

namespace quillbox {
class ProjectStore;
}

namespace quillbox::engine {

// A project's code as of one moment: each module's page and the page's revision.
struct LoadStamp {
    std::string project;
    std::vector<std::pair<std::string, std::uint64_t>> pages;  // (page name, revision), in module order
    bool operator==(const LoadStamp&) const = default;
};

LoadStamp stampOf(ProjectStore& store, const std::string& project);

enum class Staleness {
    Current,       // the engine holds this project as it is now
    NeverLoaded,   // the engine holds nothing of ours
    OtherProject,  // it holds another project
    Edited,        // it holds this project as it was before an edit (or a module added, removed, moved)
};

Staleness staleness(const std::optional<LoadStamp>& loaded, const LoadStamp& now);

// The line the transcript shows before the load that an evaluation makes first; "" when
// the engine is current.
std::string reloadNote(Staleness staleness, EngineKind engine);

// What the window's status line says of an engine: its name, the project it holds and
// whether that is current ("MSScriptControl: demo (最新)").
std::string engineStatus(EngineKind engine, const std::optional<LoadStamp>& loaded, ProjectStore& store);

// The engine's name as the selector shows it.
const char* selectorName(EngineKind engine);

}  // namespace quillbox::engine
