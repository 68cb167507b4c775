// The stop and the memory limit of both engines, measured in one run.
//
// Stop: for each script whose time goes into one long built-in call or a regular expression,
// and for the plain endless loop (the peer: the case both engines always stopped), the time
// from the stop request (another thread, after the script has run 0.5 s) to the call's return,
// and the time the 0.5 s time limit (quillbox-cli run --timeout) overran. Goal: <= 1 s each;
// the ratio is against the plain loop's stop.
//
// Memory: the hog `var a=[]; while(1) a.push(new Array(1e5).join("x")+a.length)` (the native
// engine: the same with the join made once) under the default 1 GiB limit: the peak resident size of this process while it ran (VmHWM, reset
// first), its ratio to the limit plus the size before it (goal: peak <= 1.3 GiB), whether the
// engine answered afterwards, and the resident size 0 s, 1 s and 3 s after the call returned.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/engine/ChakraCore.h"
#include "core/engine/ScriptControl.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using quillbox::engine::ChakraCore;
using quillbox::engine::ScriptControl;

struct Engine {
    std::function<void(const std::string&)> load;
    std::function<void()> spin;  // calls spin()
    std::function<bool()> stop;
    std::function<void(std::chrono::milliseconds)> setTimeLimit;
    std::function<bool()> stopped;
    std::function<bool()> outOfMemory;
    std::function<std::string(const std::string&)> eval;
    std::function<std::string()> error;
};

Engine native(ScriptControl& sc) {
    return {[&](const std::string& code) { sc.AddCode(code); },
            [&] { sc.Run("spin"); },
            [&] { return sc.stop(); },
            [&](std::chrono::milliseconds limit) { sc.setTimeLimit(limit); },
            [&] { return sc.lastCallStopped(); },
            [&] { return sc.lastCallOutOfMemory(); },
            [&](const std::string& e) { return sc.Eval(e).text(); },
            [&] { return sc.Error().Description; }};
}

Engine chakra(ChakraCore& cc) {
    return {[&](const std::string& code) { cc.AddCode(code); cc.TakeException(); },
            [&] { cc.Call("spin", {}); },
            [&] { return cc.stop(); },
            [&](std::chrono::milliseconds limit) { cc.setTimeLimit(limit); },
            [&] { return cc.lastCallStopped(); },
            [&] { return cc.lastCallOutOfMemory(); },
            [&](const std::string& e) { return cc.Eval(e); },
            [&] { return cc.TakeException().exception; }};
}

struct Spot {
    const char* name;
    const char* spin;
    bool native;
};

const Spot kSpots[] = {
    {"loop (peer)", "function spin() { for (;;) {} }", true},
    {"join", "function spin() { for (;;) new Array(1000001).join('ab'); }", true},
    {"sort",
     "function spin() { var a = []; for (var i = 0; i < 300000; i++) a.push((i * 7919) % 300007);"
     " for (;;) a.slice(0).sort(); }",
     true},
    {"replace",
     "function spin() { var s = new Array(800001).join('x');"
     " for (;;) s.replace(/x/g, function (m) { return 'y'; }); }",
     true},
    {"concat", "function spin() { var s = ''; for (;;) { s += 'abcdefgh'; if (s.length > 67108864) s = ''; } }", true},
    {"regexp", "function spin() { var s = new Array(41).join('a') + '!'; for (;;) /^(a+)+$/.test(s); }", true},
    {"reverse", "function spin() { var a = []; a.length = 4294967295; for (;;) a.reverse(); }", true},
    {"stringify",
     "function spin() { var o = []; for (var i = 0; i < 200000; i++) o.push({a: i, b: 'x' + i});"
     " for (;;) JSON.stringify(o); }",
     false},
};

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Seconds from the stop request to the return of the call.
double stopDelay(Engine& e) {
    std::atomic<Clock::rep> requested{0};
    std::atomic<bool> done{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(500ms);
        while (!done) {
            const auto at = Clock::now();
            if (e.stop()) {
                requested = at.time_since_epoch().count();
                return;
            }
            std::this_thread::sleep_for(10ms);
        }
    });
    e.spin();
    const auto end = Clock::now();
    done = true;
    stopper.join();
    if (!requested || !e.stopped())
        return -1;
    return seconds(end - Clock::time_point(Clock::duration(requested.load())));
}

// Seconds the 0.5 s time limit overran.
double timeLimitOverrun(Engine& e) {
    e.setTimeLimit(500ms);
    const auto start = Clock::now();
    e.spin();
    const double overrun = seconds(Clock::now() - start) - 0.5;
    e.setTimeLimit(0ms);
    return e.stopped() ? overrun : -1;
}

long statusKiB(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    return -1;
}

void memoryHog(const char* name, Engine e, const char* hog) {
    const long before = statusKiB("VmRSS:");
    std::ofstream("/proc/self/clear_refs") << "5";  // resets VmHWM to the current size
    e.load(hog);
    const auto start = Clock::now();
    e.spin();
    const double took = seconds(Clock::now() - start);
    const long peak = statusKiB("VmHWM:");
    const bool limited = e.outOfMemory();
    const std::string error = e.error();
    const long after0 = statusKiB("VmRSS:");
    std::this_thread::sleep_for(1s);
    const long after1 = statusKiB("VmRSS:");
    std::this_thread::sleep_for(2s);
    const long after3 = statusKiB("VmRSS:");
    const bool answers = e.eval("6 * 7") == "42";
    const double gib = 1024.0 * 1024.0;
    std::printf("memory %-7s before %.2f GiB  peak %.2f GiB (goal <= 1.30, ratio to limit + before %.2f)  "
                "stopped by the limit: %s after %.1f s  engine answers afterwards: %s\n"
                "               resident after the stop: %.2f GiB at once, %.2f GiB after 1 s, %.2f GiB after 3 s\n"
                "               error: %s\n",
                name, before / gib, peak / gib, peak / (gib + before), limited ? "yes" : "NO", took,
                answers ? "yes" : "NO", after0 / gib, after1 / gib, after3 / gib, error.c_str());
    std::fflush(stdout);
}

}  // namespace

int main() {
    if (!ChakraCore::libraryLoaded()) {
        std::fprintf(stderr, "bench_limits: %s\n", ChakraCore::libraryError().c_str());
        return 1;
    }
    std::printf("stop: seconds from the request to the stop (goal <= 1), and the 0.5 s time limit's overrun\n");
    for (const char* which : {"native", "chakra"}) {
        double peer = 0;
        for (const Spot& spot : kSpots) {
            if (!spot.native && std::string(which) == "native")
                continue;
            ScriptControl sc;
            ChakraCore cc;
            cc.New();
            Engine e = std::string(which) == "native" ? native(sc) : chakra(cc);
            e.load(spot.spin);
            const double stop = stopDelay(e);
            e.load(spot.spin);
            const double overrun = timeLimitOverrun(e);
            if (peer == 0)
                peer = stop;
            std::printf("%-7s %-12s stop %6.3f s  (x%.1f the loop)  time limit overran by %6.3f s  %s\n", which,
                        spot.name, stop, peer > 0 ? stop / peer : 0.0, overrun,
                        stop >= 0 && stop <= 1 && overrun >= -0.05 && overrun <= 1 ? "ok" : "OVER GOAL");
            std::fflush(stdout);
        }
    }
    {
        ScriptControl sc;
        // Duktape joins 1e5 elements in about 30 ms, so the hog would take minutes to reach
        // 1 GiB: the native engine gets the same growth with the join made once.
        memoryHog("native", native(sc),
                  "function spin() { var x = new Array(1e5).join('x'), a = []; while (1) a.push(x + a.length); }");
    }
    {
        ChakraCore cc;
        cc.New();
        memoryHog("chakra", chakra(cc), "function spin() { var a = []; while (1) a.push(new Array(1e5).join('x') + a.length); }");
    }
    return 0;
}
