#pragma once
// Deterministic runs: the same seed and start time give the same output every run.
// `Math.random` becomes a seeded generator, `Date` (`new Date()`, `Date()`, and `Date.now()`
// where the engine has it) starts at the given time and advances only with the script's own
// timers (where the environment defines `setTimeout`/`setInterval`: a callback runs at the
// time it was due), and `performance.now()`, where defined, follows the same clock. The
// script is old JavaScript (ES3): it runs in both engines.
#include <cstdint>
#include <optional>
#include <string>

namespace quillbox::engine {

struct Determinism {
    std::uint32_t seed = 0;
    double nowMs = 0;  // milliseconds since 1970-01-01T00:00:00Z
};

// The script that makes the engine's clock and random numbers deterministic; run it after the
// support scripts and before the modules.
std::string deterministicScript(const Determinism& d);

// The console line a deterministic run writes ("确定性运行：...").
std::string deterministicLine(const Determinism& d);

// Reads "N" as a seed (0 to 4294967295) and "MS" as a time in ms (an integer, may be negative
// within Date's range); nothing when the text is not one.
std::optional<std::uint32_t> parseSeed(const std::string& text);
std::optional<double> parseNow(const std::string& text);

}  // namespace quillbox::engine
