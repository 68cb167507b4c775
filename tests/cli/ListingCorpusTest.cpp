// quillbox-cli list on a corpus of projects, against the listings recorded from the loader that
// listed every global again after every module: the listing that costs what changed must
// print the same. The corpus holds globals redefined as another kind, objects replaced by
// other objects, globals deleted and added again, names no identifier could be, objects of
// 30 and more members, and a load that fails halfway (its earlier modules are still listed,
// members included, though the engine is emptied).
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "support/TestSupport.h"

using quillbox::test::readFile;
using quillbox::test::runProcess;

namespace {

const std::string kCli = QUILLBOX_CLI;
const std::filesystem::path kCorpus = std::filesystem::path(QUILLBOX_SOURCE_DIR) / "tests/cli/listing";

struct Case {
    const char* project;
    const char* engine;
    int status;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.project << " (" << c.engine << ")"; }

class ListingCorpus : public ::testing::TestWithParam<Case> {};

TEST_P(ListingCorpus, PrintsWhatTheFullListingPrinted) {
    const Case c = GetParam();
    if (std::string(c.engine) == "chakra" && !quillbox::test::chakraBuiltBeside(kCli))
        GTEST_SKIP() << "libChakraCore.so is not built beside quillbox-cli";
    const std::string project = (kCorpus / (std::string(c.project) + ".txt")).string();
    const auto r = runProcess(kCli, {"list", project, "--engine", c.engine});
    EXPECT_EQ(r.status, c.status) << r.err;
    const std::string expected =
        readFile((kCorpus / (std::string(c.project) + "." + c.engine + ".json")).string());
    EXPECT_EQ(r.out, expected);
}

INSTANTIATE_TEST_SUITE_P(Corpus, ListingCorpus,
                         ::testing::Values(Case{"redefine", "native", 0}, Case{"redefine", "chakra", 0},
                                           Case{"names", "native", 0}, Case{"names", "chakra", 0},
                                           Case{"failing", "native", 1}, Case{"failing", "chakra", 1}),
                         [](const auto& info) { return std::string(info.param.project) + "_" + info.param.engine; });

}  // namespace
