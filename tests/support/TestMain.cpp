// Every test process runs with its own empty QUILLBOX_HOME and XDG_CACHE_HOME, so no test
// sees the user's settings or another test's files. With QUILLBOX_NO_SKIPS set, a skipped
// test fails the process.
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

int main(int argc, char** argv) {
    std::string base = "/tmp/quillbox-test-XXXXXX";
    if (const char* tmp = std::getenv("TMPDIR"))
        base = std::string(tmp) + "/quillbox-test-XXXXXX";
    if (char* dir = mkdtemp(base.data())) {
        const std::string root = dir;
        setenv("QUILLBOX_HOME", (root + "/home").c_str(), 1);
        setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
        setenv("XDG_DESKTOP_DIR", (root + "/desktop").c_str(), 1);
        setenv("QUILLBOX_TEST_ROOT", root.c_str(), 1);
    }
    testing::InitGoogleTest(&argc, argv);
    int status = RUN_ALL_TESTS();
    // Where every test must run (CI sets QUILLBOX_NO_SKIPS), a skip is a failure: a test that
    // never runs there proves nothing.
    const int skipped = testing::UnitTest::GetInstance()->skipped_test_count();
    if (std::getenv("QUILLBOX_NO_SKIPS") && skipped > 0) {
        std::fprintf(stderr, "%d test(s) skipped, and QUILLBOX_NO_SKIPS allows none\n", skipped);
        status = 1;
    }
    if (const char* root = std::getenv("QUILLBOX_TEST_ROOT"); root && !std::getenv("QUILLBOX_KEEP_TEST_FILES"))
        std::system(("rm -rf '" + std::string(root) + "'").c_str());
    return status;
}
