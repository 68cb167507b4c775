#include <gtest/gtest.h>

#include "core/ecode/ConstantConversion.h"

using namespace quillbox::ecode;

namespace {

const LocalTime kMarch5{2024, 3, 5, 9, 7, 0};
const std::string kRule = "//========================\r\n";
const std::string kTail = "\r\n//Quillbox1.30\r\n//2024/3/5 9:7:0";

std::string banner(const std::string& label) { return kRule + "//       " + label + "\r\n" + kRule; }

}  // namespace

TEST(ConstantValue, TimeStampHasNoLeadingZeros) {
    EXPECT_EQ(timeStampLine(kMarch5), "//2024/3/5 9:7:0");
    EXPECT_EQ(timeStampLine({2025, 12, 31, 23, 59, 58}), "//2025/12/31 23:59:58");
    const LocalTime now = localTimeNow();
    EXPECT_GE(now.year, 2024);
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
}

TEST(ConstantValue, ProjectWithoutModulesIsTheBannersVersionAndStamp) {
    EXPECT_EQ(constantValue("demo", {}, kMarch5),
              banner("START   demo") + "\r\n\r\n" + banner("END   demo") + kTail);
}

TEST(ConstantValue, ModulesNotOnTheLastPageAreFollowedByFiveLineBreaks) {
    const std::string value = constantValue("demo", {{"main", "var a=1;", false}, {"util", "var b=2;", false}}, kMarch5);
    EXPECT_EQ(value, banner("START   demo") + "\r\n" +                                    //
                         banner("main.js") + "var a=1;" + "\r\n\r\n\r\n\r\n\r\n" +      //
                         banner("util.js") + "var b=2;" + "\r\n\r\n\r\n\r\n\r\n" +      //
                         "\r\n" + banner("END   demo") + kTail);
    EXPECT_NE(value.find("var b=2;\r\n\r\n\r\n\r\n\r\n\r\n//====="), std::string::npos)
        << "six line breaks before the END banner";
}

TEST(ConstantValue, ModuleOnTheLastPageIsFollowedByOneLineBreak) {
    EXPECT_EQ(constantValue("p", {{"m", "x();", true}}, kMarch5),
              banner("START   p") + "\r\n" + banner("m.js") + "x();\r\n" + "\r\n" + banner("END   p") + kTail);
}

TEST(ConstantValue, CodeWithQuotesLineBreaksAndTabsPassesUnchanged) {
    const std::string code = "var s = \"a\\\"b\";\r\n\tif (x) {\n}\r\n// 中文 “引号”";
    const std::string value = constantValue("p", {{"m", code, true}}, kMarch5);
    EXPECT_NE(value.find(banner("m.js") + code + "\r\n\r\n"), std::string::npos);
}
