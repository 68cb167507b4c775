// The E image for a 16 MB constant value against copying those 16 MB once.
//
// The image is built from code page 936 bytes, as the clipboard writer receives them.
// The peer, measured in the same run, is memcpy into a buffer that is already mapped, so
// it pays no page faults (the image's new buffer may). Each figure is the best of several
// interleaved runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/ecode/EImage.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

}  // namespace

int main() {
    using namespace quillbox::ecode;
    constexpr std::size_t kSize = 16u << 20;
    constexpr int kRounds = 15;

    std::string value(kSize, '\0');
    for (std::size_t i = 0; i < kSize; ++i)
        value[i] = static_cast<char>('a' + i % 26);
    const EConstant constant{"\xB3\xA3\xC1\xBF_JS_bench", value, "bench"};

    std::string warm(kSize, '\0');
    double bestImage = 1e9, bestWarmCopy = 1e9;
    std::size_t imageSize = 0;
    volatile char sink = 0;
    for (int round = 0; round < kRounds; ++round) {
        auto t = Clock::now();
        std::memcpy(warm.data(), value.data(), kSize);
        bestWarmCopy = std::min(bestWarmCopy, seconds(t));
        sink = sink + warm[round];

        t = Clock::now();
        const std::optional<std::string> image = buildEImage(constant);
        bestImage = std::min(bestImage, seconds(t));
        if (!image) {
            std::fprintf(stderr, "bench_eimage: no image was built\n");
            return 1;
        }
        imageSize = image->size();
    }

    std::printf("value: %zu bytes, image: %zu bytes, best of %d rounds\n", kSize, imageSize, kRounds);
    std::printf("image build:           %8.3f ms\n", bestImage * 1e3);
    std::printf("memcpy of the value:   %8.3f ms   ratio %.2f (target within 4)\n", bestWarmCopy * 1e3,
                bestImage / bestWarmCopy);
    return 0;
}
