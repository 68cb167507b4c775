// Compress and format in the plain Duktape context (the Windows build without ChakraCore)
// against ChakraCore (the Linux build, and Windows with a JsRT), in this process, on libraries
// from npm: the ratio of the times, and the outputs must be identical. No target: Duktape is
// the way the commands work at all where no ChakraCore is found.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "BenchScripts.h"
#include "core/transform/Transform.h"

using namespace quillbox::transform;

namespace {

double secondsOf(TransformResult (*run)(const std::string&, Mode), const std::string& text, Mode mode,
                 TransformResult& result) {
    const auto start = std::chrono::steady_clock::now();
    result = run(text, mode);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
    if (!quillbox::engine::ChakraCore::libraryLoaded()) {
        std::cerr << "libChakraCore.so not loaded: " << quillbox::engine::ChakraCore::libraryError() << "\n";
        return 1;
    }
    const std::string modules = QUILLBOX_NODE_MODULES;
    const char* files[] = {"blueimp-md5/js/md5.js", "json3/lib/json3.js", "jsencrypt/bin/jsencrypt.min.js",
                           "crypto-js-4.0.0/crypto-js.js", "acorn/dist/acorn.js"};
    int status = 0;
    std::printf("%-32s %8s %-8s %10s %10s %7s\n", "file", "KB", "command", "ChakraCore", "Duktape", "ratio");
    for (const char* file : files) {
        const std::string text = quillbox::bench::readAll(modules + "/" + file);
        for (const Mode mode : {Mode::Format, Mode::Compress}) {
            TransformResult chakra, duktape;
            const double c = secondsOf(runTransformInChakra, text, mode, chakra);
            const double d = secondsOf(runTransformInDuktape, text, mode, duktape);
            const bool same = chakra.ok == duktape.ok && chakra.text == duktape.text && chakra.error == duktape.error;
            std::printf("%-32s %8zu %-8s %9.2fs %9.2fs %6.1fx%s\n", file, text.size() / 1024,
                        mode == Mode::Format ? "format" : "compress", c, d, d / c, same ? "" : "  OUTPUTS DIFFER");
            if (!same)
                status = 1;
        }
    }
    return status;
}
