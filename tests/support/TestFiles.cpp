// Files for the tests, the same in both builds.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/TestSupport.h"

namespace quillbox::test {

std::string freshDirectory(const std::string& name) {
    const char* root = std::getenv("QUILLBOX_TEST_ROOT");
    std::filesystem::path dir = root ? std::filesystem::path(root) : std::filesystem::temp_directory_path();
    dir /= name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::filesystem::path p(path);
    if (p.has_parent_path())
        std::filesystem::create_directories(p.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace quillbox::test
