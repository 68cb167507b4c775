#pragma once
// What the engine benchmarks run: a file's text, and the set-up script of the loop tasks
// (a string `data` of the given length in characters, and the functions mix, sumArray and
// modulo), so every engine is measured on the same code.
#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace quillbox::bench {

struct Task {
    const char* name;
    const char* expression;
};

// Wall-clock seconds of one piece of work.
inline double seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::string loopSetup(const char* dataLength) {
    return std::string("var data = new Array(") + dataLength + " + 1).join('a');\n" +
           "function mix(n) { var s = 0; for (var i = 0; i < n; i++) { s = (s * 31 + i) | 0; } return s; }\n"
           "function sumArray(n) { var a = [], s = 0, i, k; for (i = 0; i < 1000; i++) a.push(i);\n"
           "  for (k = 0; k < n / 1000; k++) for (i = 0; i < a.length; i++) s = (s + a[i] * k) | 0; return s; }\n"
           "function modulo(n) { var s = 0; for (var i = 0; i < n; i++) { s = (s + i * i) % 1000003; } return s; }\n";
}

}  // namespace quillbox::bench
