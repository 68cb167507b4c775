// End to end: quillbox-cli json.
#include <gtest/gtest.h>

#include "core/text/Text.h"
#include "support/TestSupport.h"

namespace quillbox {
namespace {

test::ProcessResult json(const std::vector<std::string>& args, const std::string& input) {
    return test::runProcess(QUILLBOX_CLI, [&] {
        std::vector<std::string> all{"json"};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }(), input);
}

TEST(JsonCommand, PrintsTheDocumentOrTheValueAtAPath) {
    const std::string input = "{'name':'demo', \"list\":[1.50, {\"a.b\":\"x/y\"}]}";
    auto whole = json({}, input);
    EXPECT_EQ(whole.status, 0) << whole.err;
    EXPECT_EQ(whole.out, "{\"name\":\"demo\",\"list\":[1.50,{\"a.b\":\"x\\/y\"}]}\n");

    auto value = json({"list[1].a\\.b"}, input);
    EXPECT_EQ(value.status, 0) << value.err;
    EXPECT_EQ(value.out, "\"x\\/y\"\n");

    auto number = json({"list[0]"}, input);
    EXPECT_EQ(number.out, "1.50\n");
}

TEST(JsonCommand, PrettyLayout) {
    auto result = json({"--pretty"}, "{\"a\":{\"b\":[1,2]}}");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "{\r\n\t\"a\":{\r\n\t\t\"b\":[1,2]\r\n\t}\r\n}\n");
    auto atPath = json({"a", "--pretty"}, "{\"a\":{\"b\":1}}");
    EXPECT_EQ(atPath.out, "{\r\n\t\"b\":1\r\n}\n");
}

TEST(JsonCommand, ReadsUtf8AndGb18030AndWritesUtf8) {
    const std::string utf8 = "{\"名称\":\"中文\"}";
    auto fromUtf8 = json({"名称"}, utf8);
    EXPECT_EQ(fromUtf8.status, 0) << fromUtf8.err;
    EXPECT_EQ(fromUtf8.out, "\"中文\"\n");
    auto fromGb = json({"名称"}, text::toGb18030(utf8));
    EXPECT_EQ(fromGb.status, 0) << fromGb.err;
    EXPECT_EQ(fromGb.out, "\"中文\"\n");
}

TEST(JsonCommand, ParseErrorsAndMissingPathsFailWithTheirMessage) {
    auto unclosed = json({}, "[1,2");
    EXPECT_EQ(unclosed.status, 1);
    EXPECT_EQ(unclosed.out, "");
    EXPECT_EQ(unclosed.err, "error -5 at 4\n");

    auto badWord = json({}, "True");
    EXPECT_EQ(badWord.status, 1);
    EXPECT_EQ(badWord.err, "error -6 at 0\n");

    auto empty = json({}, "");
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, "error -2 at 0\n");

    auto missing = json({"a.c"}, "{\"a\":{\"b\":1}}");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "no value at a.c\n");
}

// Commands refused for bad usage exit before reading standard input, so these feed none.
TEST(JsonCommand, BadUsageAndHelp) {
    auto unknown = json({"--compact"}, "");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("Usage: quillbox-cli json"), std::string::npos);

    auto twoPaths = json({"a", "b"}, "");
    EXPECT_EQ(twoPaths.status, 2);

    auto dashPath = json({"--", "-x"}, "{\"-x\":true}");
    EXPECT_EQ(dashPath.status, 0) << dashPath.err;
    EXPECT_EQ(dashPath.out, "true\n");

    auto help = json({"--help"}, "");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: quillbox-cli json [--pretty] [PATH] < FILE", 0), 0u);
}

}  // namespace
}  // namespace quillbox
