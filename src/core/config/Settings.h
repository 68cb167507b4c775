#pragma once
// The settings file "Quillbox_config.ini": its keys, the two moments at which the settings
// are applied (at start and when the main window closes), and the menu commands that
// change them. The menu's check marks are the live settings while the program runs; they
// are kept here in a plain MenuState, which the desktop program mirrors in its menu.
#include <climits>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/config/IniFile.h"
#include "core/engine/Deterministic.h"

namespace quillbox {
class Output;
class Dialogs;
}  // namespace quillbox

namespace quillbox::config {

inline constexpr char kSettingsFileName[] = "Quillbox_config.ini";

// The settings file in paths::homeDirectory().
IniFile settingsFile();

struct Key {
    const char* section;
    const char* name;
    const char* defaultValue;  // what a read gives when the file lacks the key
};

namespace keys {
inline constexpr Key updateVersion{"update", "ver", ""};
inline constexpr Key codeInit{"code", "init", "false"};
// The name is spelled so in the files already out there.
inline constexpr Key codeFontSize{"code", "fontszie", "20"};
inline constexpr Key memoryForm{"config", "memory_form", "true"};
// The defaults of the two sizes are the window's current size (see settingsAtStart).
inline constexpr Key memoryFormWidth{"config", "memory_form_w", ""};
inline constexpr Key memoryFormHeight{"config", "memory_form_h", ""};
inline constexpr Key memoryText{"config", "memory_text", "true"};
inline constexpr Key autoUpdate{"config", "update", "true"};
inline constexpr Key saveMethod{"config", "memory_save_method", "1000"};
inline constexpr Key saveRename{"config", "memory_save_rename", "false"};
// The memory limit of each script engine, in MiB (see engineMemoryLimit).
inline constexpr Key engineMemory{"engine", "memory_mib", "1024"};
// Deterministic runs in the window (see determinism).
inline constexpr Key deterministic{"engine", "deterministic", "false"};
inline constexpr Key deterministicSeed{"engine", "seed", "0"};
inline constexpr Key deterministicNow{"engine", "now_ms", "0"};
// Watch points in the window's ChakraCore loads (see watching).
inline constexpr Key watchCalls{"engine", "watch", "false"};
}  // namespace keys

inline std::string read(const IniFile& ini, const Key& key) { return ini.read(key.section, key.name, key.defaultValue); }
inline bool write(const IniFile& ini, const Key& key, std::string_view value, std::string* error = nullptr) {
    return ini.write(key.section, key.name, value, error);
}

// Call styles of the generated E code, as stored in memory_save_method.
inline constexpr int kCallStyleNone = 0;
inline constexpr int kCallStyleObject = 1000;       // "对象调用"
inline constexpr int kCallStyleJScript = 1001;      // "JScript类调用"
inline constexpr int kCallStyleChakraCore = 1002;   // "ChakraCore类调用"

// Menu item texts.
inline constexpr char kMenuAutoUpdate[] = "自动检查更新";
inline constexpr char kMenuRememberWindow[] = "记忆窗口改变";
inline constexpr char kMenuRememberCode[] = "记忆代码内容";
inline constexpr char kMenuRenameRoutine[] = "子程序重命名";
inline constexpr char kMenuCallObject[] = "对象调用";
inline constexpr char kMenuCallJScript[] = "JScript类调用";
inline constexpr char kMenuCallChakraCore[] = "ChakraCore类调用";
inline constexpr char kMenuFontSize[] = "设置字体大小";

// The check marks of the settings menu. The initial values are the first-start state.
struct MenuState {
    bool autoUpdate = true;      // "自动检查更新"
    bool rememberWindow = true;  // "记忆窗口改变"
    bool rememberCode = true;    // "记忆代码内容"
    bool renameRoutine = false;  // "子程序重命名"
    int callStyle = kCallStyleObject;  // 1000, 1001, 1002, or kCallStyleNone when none is checked
    bool operator==(const MenuState&) const = default;
};

struct WindowSize {
    int width = 0;
    int height = 0;
    bool operator==(const WindowSize&) const = default;
};

// The sizes the main window accepts: a size read from the file is brought into them.
struct WindowLimits {
    WindowSize minimum{1, 1};
    WindowSize maximum{INT_MAX, INT_MAX};
};

struct StartSettings {
    MenuState menu;
    WindowSize size;  // the size to give the main window (its position is kept)
};

// The text-to-integer rule of the settings: leading spaces, an optional sign and the
// leading digits; 0 when there are none. Out-of-range numbers saturate.
int textToInteger(std::string_view text);

// The settings at start. `current` is the window's size as designed, which is also the
// default of the saved size. A saved width or height that is not a positive number (0,
// negative, or no number at all) gives the current one; any other is brought into the
// limits, so a hand-edited size of 0 or of a million pixels still opens a usable window.
StartSettings settingsAtStart(const IniFile& ini, WindowSize current, const WindowLimits& limits = {});

// The exit save: writes the config section from the check marks, key by key in this
// order: memory_form, memory_form_w, memory_form_h, memory_text, update,
// memory_save_method, memory_save_rename. The size written is `current` when
// "记忆窗口改变" is checked, else 800 x 650. True when every key was written.
bool exitSave(const IniFile& ini, const MenuState& menu, WindowSize current);

// Menu toggles: each inverts its check mark and writes its key at once.
void toggleAutoUpdate(MenuState& menu, const IniFile& ini);
void toggleRememberWindow(MenuState& menu, const IniFile& ini);
void toggleRememberCode(MenuState& menu, const IniFile& ini);
// Also tells the user what the mark now means, as a message line.
void toggleRenameRoutine(MenuState& menu, const IniFile& ini, Output& output);

// The shared handler of the three call-style items: checks the clicked one (1000, 1001 or
// 1002), writes memory_save_method and says "切换转换方式成功". Any other style changes
// nothing and returns false.
bool chooseCallStyle(MenuState& menu, int clickedStyle, const IniFile& ini, Output& output);

// The memory limit the engines are made with, in bytes: engine.memory_mib when it is a whole
// number of MiB from 16 to 1048576 (spaces around it allowed), else the default of 1024 MiB;
// then `problem` (when given) says what was wrong with the value, and the file is not changed.
std::size_t engineMemoryLimit(const IniFile& ini, std::string* problem = nullptr);

// The editor's font size in pixels as the page gets it: the setting when it is a whole
// number (digits only) from kMinFontSize to kMaxFontSize, else kDefaultFontSize and, in
// `problem`, why the setting was not used. Hand-edited files may hold anything.
inline constexpr int kMinFontSize = 8;
inline constexpr int kMaxFontSize = 72;
inline constexpr int kDefaultFontSize = 20;
int editorFontSize(const IniFile& ini, std::string* problem = nullptr);

// The settings the editor page reads, as JSON data (never as code): {"fontSize":N}.
std::string editorPageSettings(int fontSize);

// The window's deterministic runs: with engine.deterministic=true, loads make Math.random a
// generator seeded with engine.seed and start Date at engine.now_ms (engine/Deterministic.h).
// Nothing otherwise, or when a value is not a number in range: then `problem` says so and the
// runs are not deterministic (a run that claims to be and is not would mislead).
std::optional<engine::Determinism> determinism(const IniFile& ini, std::string* problem = nullptr);

// Whether the window's ChakraCore loads note their watch points (engine/WatchLog.h).
bool watching(const IniFile& ini);

// The window's run settings, "确定性运行" and "监视调用": a click turns one over in the
// settings file, and it holds from the next load. The answer is the line that tells the user
// what the next load will do.
inline constexpr char kMenuDeterministic[] = "确定性运行";
inline constexpr char kMenuWatch[] = "监视调用";
std::string toggleDeterministic(const IniFile& ini);
std::string toggleWatching(const IniFile& ini);

// The font-size command: asks for a size of 14 to 24 and stores it for the next start.
void setFontSize(const IniFile& ini, Dialogs& dialogs);

}  // namespace quillbox::config
