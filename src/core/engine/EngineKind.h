#pragma once
// Which engine runs the code, from the engine selector to the loader.

namespace quillbox::engine {

enum class EngineKind { Native, ChakraCore };
inline constexpr EngineKind kNativeEngine = EngineKind::Native;
inline constexpr EngineKind kChakraEngine = EngineKind::ChakraCore;

// The engine selector's item: 0 is the native engine (JScript), any other index ChakraCore.
constexpr EngineKind engineOfSelector(int index) { return index == 0 ? EngineKind::Native : EngineKind::ChakraCore; }

// "native" or "chakra", as the command line's --engine names them.
constexpr const char* engineName(EngineKind engine) { return engine == EngineKind::Native ? "native" : "chakra"; }

}  // namespace quillbox::engine
