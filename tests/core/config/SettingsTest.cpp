#include <gtest/gtest.h>

#include <filesystem>

#include "core/config/Settings.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Output.h"
#include "core/platform/Paths.h"
#include "support/TestSupport.h"

using namespace quillbox;
using namespace quillbox::config;
using quillbox::test::readFile;
using quillbox::test::writeFile;

namespace {

const WindowSize kDesigned{820, 660};
const WindowLimits kLimits{{400, 300}, {3000, 2000}};

class SettingsTest : public testing::Test {
protected:
    void SetUp() override { std::filesystem::remove(ini.path()); }
    void TearDown() override { std::filesystem::remove(ini.path()); }
    std::string value(const Key& key) const { return read(ini, key); }

    IniFile ini = settingsFile();
    RecordingOutput output;
    ScriptedDialogs dialogs;
};

}  // namespace

TEST_F(SettingsTest, TheFileIsQuillboxConfigIniInTheHomeDirectory) {
    EXPECT_EQ(ini.path(), paths::join(paths::homeDirectory(), "Quillbox_config.ini"));
}

TEST_F(SettingsTest, KeyDefaultsAreThoseOfTheTable) {
    EXPECT_EQ(value(keys::updateVersion), "");
    EXPECT_EQ(value(keys::codeInit), "false");
    EXPECT_EQ(value(keys::codeFontSize), "20");
    EXPECT_EQ(value(keys::memoryForm), "true");
    EXPECT_EQ(value(keys::memoryText), "true");
    EXPECT_EQ(value(keys::autoUpdate), "true");
    EXPECT_EQ(value(keys::saveMethod), "1000");
    EXPECT_EQ(value(keys::saveRename), "false");
    EXPECT_STREQ(keys::codeFontSize.name, "fontszie");
}

// ---- the engines' memory limit -------------------------------------------------------

TEST_F(SettingsTest, TheEnginesMemoryLimitIsAWholeNumberOfMiBElseTheDefault) {
    std::string problem;
    EXPECT_EQ(engineMemoryLimit(ini, &problem), std::size_t(1) << 30) << "absent: 1024 MiB";
    EXPECT_EQ(problem, "");
    const std::pair<const char*, std::size_t> accepted[] = {
        {"16", std::size_t(16) << 20}, {" 2048 ", std::size_t(2048) << 20}, {"1048576", std::size_t(1) << 40}};
    for (const auto& [text, bytes] : accepted) {
        ASSERT_TRUE(write(ini, keys::engineMemory, text));
        EXPECT_EQ(engineMemoryLimit(ini, &problem), bytes) << text;
        EXPECT_EQ(problem, "") << text;
    }
    for (const char* text : {"15", "1048577", "0", "-512", "512MB", "1e3", "", "99999999999"}) {
        ASSERT_TRUE(write(ini, keys::engineMemory, text));
        problem.clear();
        EXPECT_EQ(engineMemoryLimit(ini, &problem), std::size_t(1) << 30) << text;
        EXPECT_NE(problem.find("is not a number of MiB from 16 to 1048576; the engines keep 1024 MiB"),
                  std::string::npos)
            << text;
        EXPECT_EQ(value(keys::engineMemory), text) << "a bad value is left as it is";
    }
}

// ---- deterministic runs --------------------------------------------------------------

TEST_F(SettingsTest, DeterministicRunsNeedTheSwitchAndNumbersInRange) {
    std::string problem;
    EXPECT_FALSE(determinism(ini, &problem)) << "off unless switched on";
    ASSERT_TRUE(write(ini, keys::deterministicSeed, "42"));
    EXPECT_FALSE(determinism(ini, &problem)) << "a seed alone does not switch it on";
    ASSERT_TRUE(write(ini, keys::deterministic, "true"));
    ASSERT_TRUE(write(ini, keys::deterministicNow, "-86400000"));
    const auto d = determinism(ini, &problem);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->seed, 42u);
    EXPECT_EQ(d->nowMs, -86400000.0);
    EXPECT_EQ(problem, "");
    // A run that says it is deterministic and is not would mislead: a bad value turns it off.
    const std::pair<const Key*, const char*> bad[] = {{&keys::deterministicSeed, "4294967296"},
                                                      {&keys::deterministicSeed, "-1"},
                                                      {&keys::deterministicSeed, "1.5"},
                                                      {&keys::deterministicNow, "8640000000000001"},
                                                      {&keys::deterministicNow, "soon"}};
    for (const auto& [key, text] : bad) {
        ASSERT_TRUE(write(ini, keys::deterministicSeed, "1"));
        ASSERT_TRUE(write(ini, keys::deterministicNow, "0"));
        ASSERT_TRUE(write(ini, *key, text));
        problem.clear();
        EXPECT_FALSE(determinism(ini, &problem)) << text;
        EXPECT_NE(problem.find(std::string("=") + text + " is not"), std::string::npos) << problem;
    }
}

TEST_F(SettingsTest, TheRunSettingsTurnOverAndSayWhatTheNextLoadWillDo) {
    EXPECT_FALSE(watching(ini));
    EXPECT_EQ(toggleWatching(ini), "监视调用：开(ChakraCore 引擎)，下次加载起生效");
    EXPECT_TRUE(watching(ini));
    EXPECT_EQ(toggleWatching(ini), "监视调用：关，下次加载起生效");
    EXPECT_EQ(read(ini, keys::watchCalls), "false");

    ASSERT_TRUE(write(ini, keys::deterministicSeed, "9"));
    const std::string on = toggleDeterministic(ini);
    EXPECT_EQ(on.rfind("确定性运行：Math.random seed 9", 0), 0u) << on;
    EXPECT_NE(on.find("下次加载起生效"), std::string::npos) << on;
    EXPECT_TRUE(determinism(ini));
    EXPECT_EQ(toggleDeterministic(ini), "确定性运行：关，下次加载起生效");
    EXPECT_FALSE(determinism(ini));
    // Switched on with a value out of range, it says why the runs will not be deterministic.
    ASSERT_TRUE(write(ini, keys::deterministicNow, "soon"));
    EXPECT_EQ(toggleDeterministic(ini), "确定性运行未开启：[engine] now_ms=soon is not whole milliseconds since 1970 "
                                        "within Date's range");
}

// ---- text to integer -----------------------------------------------------------------

TEST(TextToInteger, TakesTheLeadingDigitsElseZero) {
    EXPECT_EQ(textToInteger("1024"), 1024);
    EXPECT_EQ(textToInteger(" 800px"), 800);
    EXPECT_EQ(textToInteger("-5"), -5);
    EXPECT_EQ(textToInteger("+14"), 14);
    EXPECT_EQ(textToInteger("abc"), 0);
    EXPECT_EQ(textToInteger(""), 0);
    EXPECT_EQ(textToInteger("99999999999999999999"), INT_MAX);
    EXPECT_EQ(textToInteger("-99999999999999999999"), INT_MIN);
}

// ---- settings at start ---------------------------------------------------------------

TEST_F(SettingsTest, FirstStartWithoutAFileChecksTheDefaultsAndKeepsTheDesignedSize) {
    const StartSettings start = settingsAtStart(ini, kDesigned, kLimits);
    EXPECT_TRUE(start.menu.autoUpdate);
    EXPECT_TRUE(start.menu.rememberWindow);
    EXPECT_TRUE(start.menu.rememberCode);
    EXPECT_FALSE(start.menu.renameRoutine);
    EXPECT_EQ(start.menu.callStyle, kCallStyleObject);
    EXPECT_EQ(start.size, kDesigned);
    EXPECT_EQ(start.menu, MenuState{});
    EXPECT_FALSE(std::filesystem::exists(ini.path()));  // reading creates nothing
}

TEST_F(SettingsTest, SavedValuesAreAppliedWithExactCaseSensitiveComparisons) {
    writeFile(ini.path(),
              "[config]\nupdate=false\nmemory_form=True\nmemory_text=false\n"
              "memory_save_method=1001\nmemory_save_rename=true\n"
              "memory_form_w=1024\nmemory_form_h=768\n");
    const StartSettings start = settingsAtStart(ini, kDesigned, kLimits);
    EXPECT_FALSE(start.menu.autoUpdate);
    EXPECT_FALSE(start.menu.rememberWindow);  // "True" is not "true"
    EXPECT_FALSE(start.menu.rememberCode);
    EXPECT_TRUE(start.menu.renameRoutine);
    EXPECT_EQ(start.menu.callStyle, kCallStyleJScript);
    EXPECT_EQ(start.size, (WindowSize{1024, 768}));
}

TEST_F(SettingsTest, AnUnknownCallStyleLeavesAllThreeUnchecked) {
    for (const char* saved : {"abc", "999", "1003", ""}) {
        writeFile(ini.path(), std::string("[config]\nmemory_save_method=") + saved + "\n");
        EXPECT_EQ(settingsAtStart(ini, kDesigned, kLimits).menu.callStyle, kCallStyleNone) << saved;
    }
}

TEST_F(SettingsTest, SavedSizesAreReadByTheTextToIntegerRuleAndKeptUsable) {
    writeFile(ini.path(), "[config]\nmemory_form_w=1000px\nmemory_form_h= 700\n");
    EXPECT_EQ(settingsAtStart(ini, kDesigned, kLimits).size, (WindowSize{1000, 700}));

    // No number, 0 or a negative size: the designed size.
    writeFile(ini.path(), "[config]\nmemory_form_w=wide\nmemory_form_h=0\n");
    EXPECT_EQ(settingsAtStart(ini, kDesigned, kLimits).size, kDesigned);
    writeFile(ini.path(), "[config]\nmemory_form_w=-20\nmemory_form_h=-1\n");
    EXPECT_EQ(settingsAtStart(ini, kDesigned, kLimits).size, kDesigned);

    // Too small or absurdly large: brought into the window's limits.
    writeFile(ini.path(), "[config]\nmemory_form_w=10\nmemory_form_h=99999999999\n");
    EXPECT_EQ(settingsAtStart(ini, kDesigned, kLimits).size, (WindowSize{400, 2000}));
}

// ---- exit save -----------------------------------------------------------------------

TEST_F(SettingsTest, ExitSaveWritesTheConfigKeysInOrder) {
    MenuState menu;
    menu.renameRoutine = true;
    menu.callStyle = kCallStyleChakraCore;
    ASSERT_TRUE(exitSave(ini, menu, {1111, 777}));
    EXPECT_EQ(readFile(ini.path()),
              "[config]\n"
              "memory_form=true\n"
              "memory_form_w=1111\n"
              "memory_form_h=777\n"
              "memory_text=true\n"
              "update=true\n"
              "memory_save_method=1002\n"
              "memory_save_rename=true\n");
}

TEST_F(SettingsTest, ExitSaveWithoutRememberWindowWrites800By650) {
    MenuState menu;
    menu.rememberWindow = false;
    menu.rememberCode = false;
    menu.autoUpdate = false;
    menu.callStyle = kCallStyleNone;
    ASSERT_TRUE(exitSave(ini, menu, {1111, 777}));
    EXPECT_EQ(value(keys::memoryForm), "false");
    EXPECT_EQ(value(keys::memoryFormWidth), "800");
    EXPECT_EQ(value(keys::memoryFormHeight), "650");
    EXPECT_EQ(value(keys::memoryText), "false");
    EXPECT_EQ(value(keys::autoUpdate), "false");
    EXPECT_EQ(value(keys::saveMethod), "1000");  // none checked saves the first style
    EXPECT_EQ(value(keys::saveRename), "false");
    EXPECT_EQ(settingsAtStart(ini, kDesigned, kLimits).size, (WindowSize{800, 650}));
}

TEST_F(SettingsTest, ChakraCoreCallStyleSurvivesARestart) {
    MenuState menu;
    ASSERT_TRUE(chooseCallStyle(menu, kCallStyleChakraCore, ini, output));
    ASSERT_TRUE(exitSave(ini, menu, kDesigned));
    EXPECT_EQ(value(keys::saveMethod), "1002");
    EXPECT_EQ(settingsAtStart(ini, kDesigned, kLimits).menu.callStyle, kCallStyleChakraCore);
}

TEST_F(SettingsTest, ExitSaveKeepsOtherSectionsAndReportsAFailedWrite) {
    writeFile(ini.path(), "[update]\nver=1.30\n[code]\nfontszie=18\ninit=false\n");
    ASSERT_TRUE(exitSave(ini, MenuState{}, kDesigned));
    EXPECT_EQ(value(keys::updateVersion), "1.30");
    EXPECT_EQ(value(keys::codeFontSize), "18");

    std::filesystem::remove(ini.path());
    std::filesystem::create_directories(ini.path());
    EXPECT_FALSE(exitSave(ini, MenuState{}, kDesigned));
    std::filesystem::remove(ini.path());
}

// ---- menu toggles --------------------------------------------------------------------

TEST_F(SettingsTest, EachToggleInvertsItsMarkAndWritesItsKeyAtOnce) {
    MenuState menu;
    toggleRememberCode(menu, ini);
    EXPECT_FALSE(menu.rememberCode);
    EXPECT_EQ(value(keys::memoryText), "false");
    toggleRememberCode(menu, ini);
    EXPECT_EQ(value(keys::memoryText), "true");

    toggleAutoUpdate(menu, ini);
    EXPECT_FALSE(menu.autoUpdate);
    EXPECT_EQ(value(keys::autoUpdate), "false");

    toggleRememberWindow(menu, ini);
    EXPECT_FALSE(menu.rememberWindow);
    EXPECT_EQ(value(keys::memoryForm), "false");

    // The exit save writes the same key again, from the mark.
    toggleRememberCode(menu, ini);
    ASSERT_TRUE(exitSave(ini, menu, kDesigned));
    EXPECT_EQ(value(keys::memoryText), "false");
    EXPECT_TRUE(output.lines.empty());
}

TEST_F(SettingsTest, RenameToggleTellsWhatCopyingWillDo) {
    MenuState menu;
    toggleRenameRoutine(menu, ini, output);
    EXPECT_TRUE(menu.renameRoutine);
    EXPECT_EQ(value(keys::saveRename), "true");
    toggleRenameRoutine(menu, ini, output);
    EXPECT_FALSE(menu.renameRoutine);
    EXPECT_EQ(value(keys::saveRename), "false");
    EXPECT_EQ(output.texts(), (std::vector<std::string>{">>复制易代码时将会弹窗重命名", ">>复制易代码时将自动重命名"}));
}

// ---- call style ----------------------------------------------------------------------

TEST_F(SettingsTest, CallStyleHandlerChecksOneSaysSoAndWritesTheKey) {
    MenuState menu;
    ASSERT_TRUE(chooseCallStyle(menu, kCallStyleJScript, ini, output));
    EXPECT_EQ(menu.callStyle, kCallStyleJScript);
    EXPECT_EQ(value(keys::saveMethod), "1001");
    EXPECT_EQ(output.texts(), std::vector<std::string>{">>切换转换方式成功"});

    // A style that is none of the three changes nothing.
    EXPECT_FALSE(chooseCallStyle(menu, 1003, ini, output));
    EXPECT_EQ(menu.callStyle, kCallStyleJScript);
    EXPECT_EQ(value(keys::saveMethod), "1001");
    EXPECT_EQ(output.lines.size(), 1u);
}

// ---- font size -----------------------------------------------------------------------

TEST_F(SettingsTest, FontSizeOutsideFourteenToTwentyFourWarnsAndWritesNothing) {
    for (std::optional<std::string> answer :
         {std::optional<std::string>("13"), std::optional<std::string>("25"), std::optional<std::string>(""),
          std::optional<std::string>("big"), std::optional<std::string>()}) {
        ScriptedDialogs asked;
        asked.inputAnswers.push_back(answer);
        setFontSize(ini, asked);
        ASSERT_EQ(asked.records.size(), 2u);
        EXPECT_EQ(asked.records[0].kind, DialogRecord::Input);
        EXPECT_EQ(asked.records[0].text, "请输入字体大小（14-24）最佳");
        EXPECT_EQ(asked.records[0].title, "");  // the initial text
        EXPECT_EQ(asked.records[1].text, "请设置一个合适的大小");
        EXPECT_EQ(asked.records[1].title, "警告");
        EXPECT_EQ(asked.records[1].icon, MessageIcon::Warning);
    }
    EXPECT_FALSE(std::filesystem::exists(ini.path()));
}

TEST_F(SettingsTest, FontSizeFourteenIsSavedForTheNextStart) {
    dialogs.inputAnswers.push_back("14");
    setFontSize(ini, dialogs);
    EXPECT_EQ(value(keys::codeFontSize), "14");
    EXPECT_EQ(value(keys::codeInit), "true");
    ASSERT_EQ(dialogs.records.size(), 2u);
    EXPECT_EQ(dialogs.records[1].text, "重启软件以更新配置");
    EXPECT_EQ(dialogs.records[1].title, "成功");
}

TEST_F(SettingsTest, FontSizeIsStoredAsTheNumberRead) {
    dialogs.inputAnswers.push_back("024");  // would be an octal literal in the editor page
    dialogs.inputAnswers.push_back("16px");
    setFontSize(ini, dialogs);
    EXPECT_EQ(value(keys::codeFontSize), "24");
    setFontSize(ini, dialogs);
    EXPECT_EQ(value(keys::codeFontSize), "16");
}

TEST_F(SettingsTest, FontSizeThatCannotBeSavedIsNotReportedAsSuccess) {
    std::filesystem::create_directories(ini.path());
    dialogs.inputAnswers.push_back("18");
    setFontSize(ini, dialogs);
    ASSERT_EQ(dialogs.records.size(), 2u);
    EXPECT_EQ(dialogs.records[1].title, "错误");
    EXPECT_NE(dialogs.records[1].text.find("字体大小未能保存"), std::string::npos);
    std::filesystem::remove(ini.path());
}
