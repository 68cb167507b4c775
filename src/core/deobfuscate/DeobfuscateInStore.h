#pragma once
// The window's deobfuscation command on the project store: the selected module deobfuscated
// into a NEW module beside it ("name_解混淆"); the original is read, never written. The report
// and, when the expression box holds an expression, its check go to the output box.
//
// Three steps for the threads: the target is taken on the window's side, deobfuscated where
// the engines live (never in their engines: the tools context and fresh sandbox engines), and
// placed back on the window's side.
#include <string>

#include "core/deobfuscate/Deobfuscate.h"

namespace quillbox {
class Output;
class ProjectStore;
}  // namespace quillbox

namespace quillbox::deobfuscate {

inline constexpr const char* kDeobfuscateCommand = "解混淆";
inline constexpr const char* kDeobfuscatedSuffix = "_解混淆";
// A partial result still becomes a new module, named so and marked in its first line.
inline constexpr const char* kPartialSuffix = "_解混淆不完整";

struct DeobfuscateTarget {
    std::string refusal;  // why nothing can be deobfuscated ("" when something can)
    std::string project;
    std::string module;
    std::string code;
    std::string expression;  // checked in the original and the result when not empty
};

struct DeobfuscateOutcome {
    Deobfuscation result;
    BehaviourCheck check;
    bool checked = false;
};

// The module the tree's selection names (a module, or a function or member under it); its
// text is taken now.
DeobfuscateTarget deobfuscateTarget(const ProjectStore& store, const std::string& expression);

// The deobfuscation and the check in ChakraCore (where the engines live).
DeobfuscateOutcome runDeobfuscation(Deobfuscator& deobfuscator, const DeobfuscateTarget& target);

// Writes the result as a new module beside the original (a name already taken gets a number)
// and the report lines. Returns the new module's name, "" when nothing was written.
std::string placeDeobfuscation(ProjectStore& store, const DeobfuscateTarget& target, const DeobfuscateOutcome& outcome,
                               Output& output);

}  // namespace quillbox::deobfuscate
