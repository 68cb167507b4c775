// The Windows build's test main: a fresh directory for QUILLBOX_HOME and the test's files,
// files opened in binary mode as on Linux, and QUILLBOX_NO_SKIPS as in TestMain.cpp.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <stdlib.h>
#include <string>

int main(int argc, char** argv) {
    _fmode = _O_BINARY;  // no CR LF translation in files the tests open
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path root = fs::temp_directory_path(error) /
                          ("quillbox-test-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    if (fs::create_directories(root, error)) {
        _putenv_s("QUILLBOX_HOME", (root / "home").string().c_str());
        _putenv_s("QUILLBOX_TEST_ROOT", root.string().c_str());
    }
    testing::InitGoogleTest(&argc, argv);
    int status = RUN_ALL_TESTS();
    const int skipped = testing::UnitTest::GetInstance()->skipped_test_count();
    if (std::getenv("QUILLBOX_NO_SKIPS") && skipped > 0) {
        std::fprintf(stderr, "%d test(s) skipped, and QUILLBOX_NO_SKIPS allows none\n", skipped);
        status = 1;
    }
    if (!std::getenv("QUILLBOX_KEEP_TEST_FILES"))
        fs::remove_all(root, error);
    return status;
}
