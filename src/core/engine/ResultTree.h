#pragma once
// An evaluation's result as a tree: the engine keeps the value (QUILLBOX.last) and these
// scripts read one level of it at a time, or its JSON text, through QUILLBOX.JSON so that both
// engines describe values alike.
#include <string>
#include <vector>

#include "core/platform/Output.h"

namespace quillbox::engine {

// Members shown per level; more are marked as truncated.
inline constexpr int kResultMembers = 100;
// Levels the tree opens below the result.
inline constexpr int kResultDepth = 8;

// The script that describes the value at `path` below QUILLBOX.last (JScript 5.7 syntax).
std::string describeScript(const std::vector<std::string>& path);
// The script that gives the value at `path` as JSON text.
std::string jsonScript(const std::vector<std::string>& path);
// The described level; false for text that is not one.
bool parseObjectNode(const std::string& json, ObjectNode& node);

}  // namespace quillbox::engine
