#include "core/config/Settings.h"

#include <algorithm>
#include <string>

#include "core/engine/MemoryLimit.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Output.h"
#include "core/platform/Paths.h"
#include "core/text/Text.h"

namespace quillbox::config {
namespace {

const char* truth(bool value) { return value ? "true" : "false"; }

int sizeFromFile(const IniFile& ini, const Key& key, int current, int minimum, int maximum) {
    const int saved = textToInteger(ini.read(key.section, key.name, std::to_string(current)));
    if (saved <= 0)
        return current;
    maximum = std::max(minimum, maximum);
    return std::clamp(saved, minimum, maximum);
}

void toggle(bool& mark, const IniFile& ini, const Key& key) {
    mark = !mark;
    // The mark is the live setting; the exit save writes the key again.
    write(ini, key, truth(mark));
}

}  // namespace

IniFile settingsFile() { return IniFile(paths::join(paths::homeDirectory(), kSettingsFileName)); }

int textToInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        return static_cast<int>(-value);
    return static_cast<int>(std::min<long long>(value, INT_MAX));
}

StartSettings settingsAtStart(const IniFile& ini, WindowSize current, const WindowLimits& limits) {
    StartSettings start;
    start.size.width = sizeFromFile(ini, keys::memoryFormWidth, current.width, limits.minimum.width,
                                    limits.maximum.width);
    start.size.height = sizeFromFile(ini, keys::memoryFormHeight, current.height, limits.minimum.height,
                                     limits.maximum.height);
    // Exact, case-sensitive comparisons: "True" is not "true".
    start.menu.autoUpdate = read(ini, keys::autoUpdate) == "true";
    start.menu.rememberWindow = read(ini, keys::memoryForm) == "true";
    start.menu.rememberCode = read(ini, keys::memoryText) == "true";
    const int style = textToInteger(read(ini, keys::saveMethod));
    start.menu.callStyle =
        (style == kCallStyleObject || style == kCallStyleJScript || style == kCallStyleChakraCore) ? style
                                                                                                     : kCallStyleNone;
    start.menu.renameRoutine = read(ini, keys::saveRename) == "true";
    return start;
}

bool exitSave(const IniFile& ini, const MenuState& menu, WindowSize current) {
    const bool keepSize = menu.rememberWindow;
    const int style = menu.callStyle == kCallStyleJScript || menu.callStyle == kCallStyleChakraCore
                          ? menu.callStyle
                          : kCallStyleObject;
    bool ok = true;
    ok &= ini.writeIf(keepSize, keys::memoryForm.section, keys::memoryForm.name, "true", "false");
    ok &= ini.writeIf(keepSize, keys::memoryFormWidth.section, keys::memoryFormWidth.name,
                      std::to_string(current.width), "800");
    ok &= ini.writeIf(keepSize, keys::memoryFormHeight.section, keys::memoryFormHeight.name,
                      std::to_string(current.height), "650");
    ok &= ini.writeIf(menu.rememberCode, keys::memoryText.section, keys::memoryText.name, "true", "false");
    ok &= ini.writeIf(menu.autoUpdate, keys::autoUpdate.section, keys::autoUpdate.name, "true", "false");
    ok &= write(ini, keys::saveMethod, std::to_string(style));
    ok &= ini.writeIf(menu.renameRoutine, keys::saveRename.section, keys::saveRename.name, "true", "false");
    return ok;
}

void toggleAutoUpdate(MenuState& menu, const IniFile& ini) { toggle(menu.autoUpdate, ini, keys::autoUpdate); }

void toggleRememberWindow(MenuState& menu, const IniFile& ini) {
    toggle(menu.rememberWindow, ini, keys::memoryForm);
}

void toggleRememberCode(MenuState& menu, const IniFile& ini) { toggle(menu.rememberCode, ini, keys::memoryText); }

void toggleRenameRoutine(MenuState& menu, const IniFile& ini, Output& output) {
    toggle(menu.renameRoutine, ini, keys::saveRename);
    output.messageLine(menu.renameRoutine ? "复制易代码时将会弹窗重命名" : "复制易代码时将自动重命名");
}

bool chooseCallStyle(MenuState& menu, int clickedStyle, const IniFile& ini, Output& output) {
    if (clickedStyle != kCallStyleObject && clickedStyle != kCallStyleJScript &&
        clickedStyle != kCallStyleChakraCore)
        return false;
    menu.callStyle = clickedStyle;
    output.messageLine("切换转换方式成功");
    write(ini, keys::saveMethod, std::to_string(clickedStyle));
    return true;
}

int editorFontSize(const IniFile& ini, std::string* problem) {
    const std::string text = read(ini, keys::codeFontSize);
    const bool digits = !text.empty() && text.size() <= 3 && text.find_first_not_of("0123456789") == std::string::npos;
    const int size = digits ? std::stoi(text) : 0;
    if (digits && size >= kMinFontSize && size <= kMaxFontSize)
        return size;
    if (problem)
        *problem = "字体大小设置无效(" + text::escapeControls(text.substr(0, 40)) + "),使用默认值" +
                   std::to_string(kDefaultFontSize);
    return kDefaultFontSize;
}

std::string editorPageSettings(int fontSize) { return "{\"fontSize\":" + std::to_string(fontSize) + "}"; }

void setFontSize(const IniFile& ini, Dialogs& dialogs) {
    const auto answer = dialogs.inputBox("请输入字体大小（14-24）最佳", "", "");
    const int size = answer ? textToInteger(*answer) : 0;
    if (size < 14 || size > 24) {
        dialogs.messageBox("请设置一个合适的大小", "警告", MessageIcon::Warning, MessageButtons::Ok);
        return;
    }
    // The size is written as the number read, not as typed: it is put into the editor
    // page's script at the next start, where "014" would be an octal 12 and "14px" would
    // break the page.
    std::string reason;
    if (!write(ini, keys::codeFontSize, std::to_string(size), &reason) ||
        !write(ini, keys::codeInit, "true", &reason)) {
        dialogs.messageBox("字体大小未能保存: " + reason, "错误", MessageIcon::Error, MessageButtons::Ok);
        return;
    }
    dialogs.messageBox("重启软件以更新配置", "成功", MessageIcon::Information, MessageButtons::Ok);
}

std::size_t engineMemoryLimit(const IniFile& ini, std::string* problem) {
    const std::string text = read(ini, keys::engineMemory);
    std::size_t digits = 0;
    long mib = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || ++digits > 8)
            break;
        mib = mib * 10 + (c - '0');
    }
    if (digits == text.size() && mib >= engine::kMinMemoryLimitMiB && mib <= engine::kMaxMemoryLimitMiB)
        return static_cast<std::size_t>(mib) << 20;
    if (problem)
        *problem = "[" + std::string(keys::engineMemory.section) + "] " + keys::engineMemory.name + "=" + text +
                   " is not a number of MiB from " + std::to_string(engine::kMinMemoryLimitMiB) + " to " +
                   std::to_string(engine::kMaxMemoryLimitMiB) + "; the engines keep 1024 MiB";
    return engine::kDefaultMemoryLimit;
}

std::optional<engine::Determinism> determinism(const IniFile& ini, std::string* problem) {
    if (read(ini, keys::deterministic) != "true")
        return std::nullopt;
    const std::string seedText = read(ini, keys::deterministicSeed);
    const std::string nowText = read(ini, keys::deterministicNow);
    const auto seed = engine::parseSeed(seedText);
    const auto now = engine::parseNow(nowText);
    if (!seed || !now) {
        if (problem)
            *problem = !seed ? "[engine] seed=" + seedText + " is not a whole number from 0 to 4294967295"
                             : "[engine] now_ms=" + nowText + " is not whole milliseconds since 1970 within Date's range";
        return std::nullopt;
    }
    return engine::Determinism{*seed, *now};
}

bool watching(const IniFile& ini) { return read(ini, keys::watchCalls) == "true"; }

std::string toggleDeterministic(const IniFile& ini) {
    const bool on = read(ini, keys::deterministic) != "true";
    std::string error;
    if (!write(ini, keys::deterministic, truth(on), &error))
        return "设置未保存：" + error;
    if (!on)
        return "确定性运行：关，下次加载起生效";
    std::string problem;
    const std::optional<engine::Determinism> d = determinism(ini, &problem);
    if (!d)
        return "确定性运行未开启：" + problem;
    return engine::deterministicLine(*d) + "；下次加载起生效";
}

std::string toggleWatching(const IniFile& ini) {
    const bool on = !watching(ini);
    std::string error;
    if (!write(ini, keys::watchCalls, truth(on), &error))
        return "设置未保存：" + error;
    return on ? "监视调用：开(ChakraCore 引擎)，下次加载起生效" : "监视调用：关，下次加载起生效";
}

}  // namespace quillbox::config
