// The program's entry on Linux: the process tuned for large projects, then the commands.
#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/Command.h"

namespace {

// A command on a large project passes its text through several buffers of the file's size in
// turn (bytes, text, modules, the joined script, the image), and on a virtual machine each
// fresh 4 KB page costs a slow fault. glibc can back its heap with transparent huge pages, but
// takes that setting only from the environment at start: so the program starts itself once
// more with it, unless the caller already chose (GLIBC_TUNABLES=glibc.malloc.hugetlb=0 keeps the
// small pages). Without /proc or exec the program simply goes on as it is.
void restartWithHugePages(char** argv) {
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables && std::strstr(tunables, "glibc.malloc.hugetlb"))
        return;
    const std::string value =
        tunables && *tunables ? std::string(tunables) + ":glibc.malloc.hugetlb=1" : "glibc.malloc.hugetlb=1";
    if (setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0)
        return;
    execv("/proc/self/exe", argv);
}

}  // namespace

// Not a tail call: main keeps its frame, so a crash report's call stack goes back through it.
__attribute__((optimize("no-optimize-sibling-calls"))) int main(int argc, char** argv) {
    restartWithHugePages(argv);
    // Freed buffers stay with the process for the next one instead of going back to the
    // system, so the kernel does not zero-fill fresh pages for each.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    return quillbox::cli::runCommandLine(argc, argv);
}
