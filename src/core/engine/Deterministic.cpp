#include "core/engine/Deterministic.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace quillbox::engine {

namespace {

// xorshift32 over 32-bit integers (ES3 has the shifts it needs); the state is never zero.
// Date keeps its prototype, so `instanceof Date` and every method still hold. The browser
// environment, loaded later, runs its timers on a clock of its own: once it is there, Date
// reads that clock (QUILLBOX_BROWSER.timerClock), and the environment's performance.now()
// follows it alone (QUILLBOX.deterministic).
constexpr const char* kScript = R"JS((function () {
  var g = this, state = (SEED ^ 0x9E3779B9) >>> 0, clock = NOW, start = NOW;
  if (state === 0) state = 0x6D2B79F5;
  Math.random = function random() {
    state ^= state << 13; state >>>= 0;
    state ^= state >>> 17;
    state ^= state << 5; state >>>= 0;
    return state / 4294967296;
  };
  var RealDate = Date;
  function current() {
    var b = g.QUILLBOX_BROWSER;
    return b && typeof b.timerClock === 'function' ? start + b.timerClock() : clock;
  }
  if (typeof g.QUILLBOX === 'object' && g.QUILLBOX) g.QUILLBOX.deterministic = true;
  function FixedDate(y, m, d, h, mi, s, ms) {
    var n = arguments.length;
    if (!(this instanceof FixedDate)) return new RealDate(current()).toString();
    if (n === 0) return new RealDate(current());
    if (n === 1) return new RealDate(y);
    return new RealDate(y, m, n > 2 ? d : 1, n > 3 ? h : 0, n > 4 ? mi : 0, n > 5 ? s : 0, n > 6 ? ms : 0);
  }
  FixedDate.prototype = RealDate.prototype;
  FixedDate.UTC = RealDate.UTC;
  FixedDate.parse = RealDate.parse;
  if (typeof RealDate.now === 'function') FixedDate.now = function now() { return current(); };
  g.Date = FixedDate;
  if (typeof g.performance === 'object' && g.performance && typeof g.performance.now === 'function') {
    try { g.performance.now = function now() { return current() - start; }; } catch (e) {}
  }
  // Timers: a callback runs with the clock at the time it was due.
  function timed(name, repeat) {
    var real = g[name];
    if (typeof real !== 'function') return;
    g[name] = function (callback, delay) {
      var wait = Math.max(0, Number(delay) || 0), due = clock + wait, rest = [];
      for (var i = 2; i < arguments.length; i++) rest.push(arguments[i]);
      var run = function () {
        if (due > clock) clock = due;
        if (repeat) due += wait;
        if (typeof callback === 'function') return callback.apply(g, rest);
        return (0, eval)(String(callback));
      };
      return real(run, delay);
    };
  }
  timed('setTimeout', false);
  timed('setInterval', true);
})();
)JS";

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

std::string integerText(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f", v);
    return buffer;
}

}  // namespace

std::string deterministicScript(const Determinism& d) {
    std::string script = kScript;
    replaceAll(script, "SEED", std::to_string(d.seed));
    replaceAll(script, "NOW", integerText(d.nowMs));
    return script;
}

std::string deterministicLine(const Determinism& d) {
    return "确定性运行：Math.random seed " + std::to_string(d.seed) + ", Date starts at " + integerText(d.nowMs) +
           " ms and moves only with the script's timers";
}

std::optional<std::uint32_t> parseSeed(const std::string& text) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (v > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<std::uint32_t>(v);
}

std::optional<double> parseNow(const std::string& text) {
    const std::size_t digits = text.size() - (!text.empty() && text[0] == '-' ? 1 : 0);
    if (digits == 0 || digits > 16 || text.find_first_not_of("0123456789", text.size() - digits) != std::string::npos)
        return std::nullopt;
    errno = 0;
    const double v = static_cast<double>(std::strtoll(text.c_str(), nullptr, 10));
    // Date's range: 100 000 000 days either side of 1970.
    if (errno != 0 || v > 8.64e15 || v < -8.64e15)
        return std::nullopt;
    return v;
}

}  // namespace quillbox::engine
