#include <gtest/gtest.h>

#include "core/text/Regex.h"

using namespace quillbox::text;

namespace {
const RegexOptions kAll{true, true, true};  // what the importer compiles with
const std::string kSep = "//========================";
}  // namespace

TEST(RegexSyntax, WhitespaceClassMatchesCrAndLf) {
    Regex r("a\\s+b", kAll);
    ASSERT_TRUE(r.valid()) << r.error();
    EXPECT_TRUE(r.test("a\r\n\t b"));
}

TEST(RegexSyntax, DotMatchesCrButNotLf) {
    Regex r("^x.y$", kAll);
    EXPECT_TRUE(r.test("x\ry"));
    EXPECT_FALSE(r.test("x\ny"));
    // "(.*)" on a CRLF line keeps the CR, as the importer's START line capture does.
    RegexResult m = Regex("START\\s+(.*)", kAll).execute("START   demo\r\nrest");
    ASSERT_EQ(m.matches.size(), 1u);
    EXPECT_EQ(m.matches[0].submatch(1), "demo\r");
}

TEST(RegexSyntax, DotMatchesOneWholeChineseCharacter) {
    RegexResult m = Regex("^(.)(.)$", kAll).execute("中文");
    ASSERT_EQ(m.matches.size(), 1u);
    EXPECT_EQ(m.matches[0].submatch(1), "中");
    EXPECT_EQ(m.matches[0].submatch(2), "文");
}

TEST(RegexSyntax, IgnoreCaseOnlyWhenAsked) {
    EXPECT_TRUE(Regex("start", kAll).test("START"));
    EXPECT_FALSE(Regex("start", RegexOptions{}).test("START"));
}

TEST(RegexSyntax, MultilineAnchorsAtEveryLine) {
    EXPECT_EQ(Regex("^b$", kAll).execute("a\nb\nc").matches.size(), 1u);
    EXPECT_TRUE(Regex("^b$", RegexOptions{}).execute("a\nb\nc").matches.empty());
    // Without multiline "$" is the very end, not before a final LF.
    EXPECT_FALSE(Regex("b$", RegexOptions{}).test("b\n"));
}

TEST(RegexSyntax, LazyQuantifierStopsAtTheFirstPossibleEnd) {
    RegexResult m = Regex("<([\\s\\S]*?)>", kAll).execute("<a>\r\n<b>");
    ASSERT_EQ(m.matches.size(), 2u);
    EXPECT_EQ(m.matches[0].submatch(1), "a");
    EXPECT_EQ(m.matches[1].submatch(1), "b");
}

TEST(RegexSyntax, ScriptStyleEscapesAndEmptyClasses) {
    EXPECT_TRUE(Regex("\\u4e2d", kAll).test("中"));
    EXPECT_TRUE(Regex("a[^]b", kAll).test("a\nb"));
}

TEST(RegexMatches, NonGlobalGivesOnlyTheFirst) {
    RegexResult m = Regex("\\d", RegexOptions{}).execute("a1b2");
    ASSERT_TRUE(m.ok);
    ASSERT_EQ(m.matches.size(), 1u);
    EXPECT_EQ(m.matches[0].value, "1");
    EXPECT_EQ(m.matches[0].position, 1u);
}

TEST(RegexMatches, GlobalEnumeratesInOrderWithSubmatchesFromOne) {
    RegexResult m = Regex("(\\w)=(\\d)?", kAll).execute("a=1 b= c=3");
    ASSERT_EQ(m.matches.size(), 3u);
    EXPECT_EQ(m.matches[0].submatch(0), "a=1");
    EXPECT_EQ(m.matches[0].submatch(1), "a");
    EXPECT_EQ(m.matches[0].submatch(2), "1");
    EXPECT_EQ(m.matches[1].submatch(2), "") << "a group that did not take part is empty";
    EXPECT_EQ(m.matches[2].position, 7u);
    EXPECT_EQ(m.matches[2].submatch(9), "") << "an absent group number is empty, not a crash";
}

TEST(RegexMatches, EmptyMatchesAdvanceByOneCharacter) {
    RegexResult m = Regex("x*", kAll).execute("a中");
    ASSERT_TRUE(m.ok);
    // At 0, at 1 (before the three-byte character) and at the end.
    ASSERT_EQ(m.matches.size(), 3u);
    EXPECT_EQ(m.matches[1].position, 1u);
    EXPECT_EQ(m.matches[2].position, 4u);
}

TEST(RegexMatches, NoMatchIsSuccessWithNoMatches) {
    RegexResult m = Regex("zzz", kAll).execute("abc");
    EXPECT_TRUE(m.ok);
    EXPECT_TRUE(m.matches.empty());
}

TEST(RegexMatches, IllFormedUtf8SubjectDoesNotFail) {
    RegexResult m = Regex("b", kAll).execute("a\xFF\xFE" "b");
    ASSERT_TRUE(m.ok) << m.error;
    ASSERT_EQ(m.matches.size(), 1u);
    EXPECT_EQ(m.matches[0].position, 3u);
}

TEST(RegexReplace, DollarReferences) {
    EXPECT_EQ(Regex("(a)(b)", kAll).replace("xaby", "[$2$1]").text, "x[ba]y");
    EXPECT_EQ(Regex("b", kAll).replace("abc", "$$").text, "a$c");
    EXPECT_EQ(Regex("b", kAll).replace("abc", "<$&>").text, "a<b>c");
    EXPECT_EQ(Regex("b", kAll).replace("abc", "$`$'").text, "aacc");
    // A reference to a group that does not exist stays as written.
    EXPECT_EQ(Regex("(b)", kAll).replace("abc", "$2$0$").text, "a$2$0$c");
}

TEST(RegexReplace, TwoDigitReferenceOnlyWhenThatGroupExists) {
    EXPECT_EQ(Regex("(a)", kAll).replace("a", "$10").text, "a0");
    const std::string twelve = "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)";
    EXPECT_EQ(Regex(twelve, kAll).replace("abcdefghijkl", "$12$1").text, "la");
}

TEST(RegexReplace, GlobalReplacesEveryMatchAndCountsThem) {
    ReplaceResult r = Regex("o", kAll).replace("foo boo", "0");
    EXPECT_EQ(r.text, "f00 b00");
    EXPECT_EQ(r.replacements, 4u);
    EXPECT_EQ(Regex("o", RegexOptions{}).replace("foo", "0").text, "f0o");
}

TEST(RegexReplace, ImporterDoublesEveryModuleHeader) {
    const std::string header = kSep + "\r\n//       m.js\r\n" + kSep;
    Regex r("(//========================\\r\\n//\\s+(.*)\\.js\\r\\n//========================)", kAll);
    ReplaceResult out = r.replace("x\r\n" + header + "\r\ny", "$1\r\n$1");
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.text, "x\r\n" + header + "\r\n" + header + "\r\ny");
}

TEST(RegexFailures, BadPatternIsReportedNotThrown) {
    Regex r("(unclosed", kAll);
    EXPECT_FALSE(r.valid());
    EXPECT_NE(r.error().find("offset"), std::string::npos) << r.error();
    RegexResult m = r.execute("anything");
    EXPECT_FALSE(m.ok);
    EXPECT_FALSE(m.error.empty());
    EXPECT_FALSE(r.test("anything"));
    EXPECT_FALSE(r.replace("anything", "x").ok);
}

TEST(RegexFailures, MovedFromRegexIsInvalidNotACrash) {
    Regex a("a", kAll);
    Regex b(std::move(a));
    EXPECT_TRUE(b.test("a"));
    EXPECT_FALSE(a.valid());  // NOLINT(bugprone-use-after-move): a moved-from Regex stays safe
    EXPECT_FALSE(a.test("a"));
    EXPECT_FALSE(a.execute("a").ok);
    EXPECT_FALSE(a.options().global);
    Regex c("x");
    c = std::move(b);
    EXPECT_TRUE(c.test("a"));
}

TEST(RegexLimits, LazyProjectPatternMatchesAcrossSixteenMegabytes) {
    // With PCRE2's default match limit this fails (error -47) from about 16 MB on.
    std::string body;
    const std::string line = "var s = '中文字符串 with some ASCII';\r\n";
    while (body.size() < 16u * 1024 * 1024)
        body += line;
    const std::string file = kSep + "\r\n//       START   big\r\n" + kSep + "\r\n" + body + "\r\n" + kSep +
                             "\r\n//       END   big\r\n" + kSep;
    Regex project(
        "//========================\\r\\n//       START\\s+(.*)\\r\\n//========================\\r\\n([\\s\\S]*?)"
        "\\r\\n//========================\\r\\n//       END\\s+(.*)\\r\\n//========================",
        kAll);
    RegexResult m = project.execute(file);
    ASSERT_TRUE(m.ok) << m.error;
    ASSERT_EQ(m.matches.size(), 1u);
    EXPECT_EQ(m.matches[0].submatch(1), "big");
    EXPECT_EQ(m.matches[0].submatch(2).size(), body.size());
}

TEST(RegexMatches, ScanSeesTheSameMatchesWithoutCopying) {
    const std::string subject = "k1=v1;k2=;k3=v3";
    std::vector<std::string> seen;
    const std::string error = Regex("(\\w+)=(\\w*)", kAll).scan(subject, [&](const RegexMatchView& m) {
        EXPECT_EQ(m.value.data(), subject.data() + m.position) << "a view into the subject";
        seen.push_back(std::string(m.submatches[0]) + ":" + std::string(m.submatches[1]));
    });
    EXPECT_EQ(error, "");
    EXPECT_EQ(seen, (std::vector<std::string>{"k1:v1", "k2:", "k3:v3"}));
    EXPECT_NE(Regex("(", kAll).scan(subject, [](const RegexMatchView&) {}), "");
}
