#pragma once
// Loading a project's code into an engine and evaluating expressions against it: the
// load and evaluate commands behind the window's buttons and quillbox-cli run/list.
//
// Lines of errors are shown 1-based in both engines, so the line marked in the editor is the
// line that failed.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/engine/BrowserEnvironment.h"
#include "core/engine/ChakraCore.h"
#include "core/engine/Deterministic.h"
#include "core/engine/WatchLog.h"
#include "core/engine/EngineKind.h"
#include "core/engine/ErrorPlace.h"
#include "core/engine/JScript.h"
#include "core/engine/SyntaxGate.h"
#include "core/platform/Output.h"
#include "core/project/ProjectStore.h"

namespace quillbox::engine {


// Texts of the lines the loader writes.
inline constexpr const char* kLoadedSuffix = "：加载成功";
inline constexpr const char* kLoadFailedSuffix = "：加载失败";
inline constexpr const char* kLoaded = "加载成功";
inline constexpr const char* kResultType = "结果";
inline constexpr const char* kBooleanRefusal = "执行后结果为逻辑值,请使用ChakraCore引擎或浏览器运行";
inline constexpr const char* kStopped = "执行已停止";
inline constexpr const char* kLoadAgain = "引擎已重新创建,请重新加载项目";
// Shown as the error's place when the engine gave none.
inline constexpr const char* kNoPosition = "引擎未给出错误位置";
inline constexpr const char* kTooManyMembers = "成员过多";
constexpr int kMaxListedMembers = 30;

// What a load put into the tree for one module, for callers that want it as data.
struct ListedObject {
    std::string name;
    std::vector<std::string> members;  // at most 30, then kTooManyMembers
};
struct ModuleListing {
    std::string module;  // the page name
    std::vector<std::string> functions;
    std::vector<ListedObject> objects;
};

// One global function or object of a module's listing, in the order the listing shows it.
struct ListedGlobal {
    std::string name;
    int objectId = -1;  // the listing helper's number for an object; -1 for a function
    bool isObject() const { return objectId >= 0; }
};
using GlobalList = std::vector<ListedGlobal>;

enum class Evaluation {
    Nothing,  // nothing to do (no expression, no page, or an empty page with ChakraCore)
    Result,   // a console line "结果" was written
    Failed,   // the expression failed; its error lines were written
    Refused,  // the native engine's result was a boolean
    Stopped,  // the engine was stopped
};

// Where a loader's work runs. The engine part (the engines, the gate, the listing's data)
// runs where `toEngine` puts it; what touches the project store, the tree and the output
// runs where `toWindow` puts it, in the order posted. Without threads (the command line,
// the tests) both run a task at once, so every call finishes before it returns.
using Poster = std::function<void(std::function<void()>)>;
// Each engine lives on a thread of its own: this puts a task on the given engine's.
using EnginePoster = std::function<void(EngineKind, std::function<void()>)>;

// The output of a loader whose engine part runs on another thread: each line is written on
// the window's side, in order.
class PostedOutput : public Output {
public:
    PostedOutput(Output& target, const Poster& toWindow) : target_(target), toWindow_(toWindow) {}
    void messageLine(const std::string& text) override;
    void consoleLine(const std::string& type, const std::string& message) override;
    void errorConsoleLine(const std::string& type, const std::string& message) override;
    void chooseTab(int tab) override;
    // The window's side only.
    int currentTab() const override { return target_.currentTab(); }
    void clear() override;
    void echo(const std::string& expression) override;
    void evaluationError(const std::string& text) override;
    void errorSpot(const ErrorSpot& spot) override;
    void objectResult(const std::string& expression, const ObjectNode& root) override;

private:
    Output& target_;
    const Poster& toWindow_;
};

class CodeLoader {
public:
    CodeLoader(ProjectStore& store, Output& output, JScript& native, ChakraCore& chakra);

    // Puts each engine's part on the thread `toEngine` names for it (each engine must then be
    // used only there). What the two share (the syntax gate, the listing) is taken by one
    // thread at a time; an engine's own code runs without holding anything, so a script
    // running in one engine never holds up the other.
    void setThreads(EnginePoster toEngine, Poster toWindow);
    // Runs a task where the engine lives, after what is queued there.
    void onEngine(EngineKind engine, std::function<void()> task) { toEngine_(engine, std::move(task)); }
    // The output to write to from the engine's side.
    Output& engineOutput() { return out_; }

    // The load command: loads the project of the current page into the chosen engine; the
    // texts are taken when the command is given. `done` gets the outcome on the window's
    // side. Returns the outcome without threads; with them, whether a load was started
    // (false: no current page).
    bool load(EngineKind engine, std::function<void(bool)> done = {});

    // The evaluate command against the current page, as load.
    Evaluation evaluate(const std::string& expression, EngineKind engine, std::function<void(Evaluation)> done = {});

    // Whether ChakraCore loads keep the browser environment's access log (see
    // browserLogScript); onAccessLog is then told, on the window's side after a load or an
    // evaluation in an engine that holds the environment, the log's rows in order of first use.
    void setBrowserLog(bool on) { browserLog_ = on; }
    std::function<void(std::vector<AccessRow>)> onAccessLog;
    // The last result's members at `path` (keys from the result down), read from the engine
    // that gave it; `done` gets them on the window's side (nothing found: an empty node).
    void describeResult(const std::vector<std::string>& path, std::function<void(ObjectNode)> done);
    // The last result at `path` as JSON text (through QUILLBOX.JSON, the same in both
    // engines); "" when it has none (a function, a cycle).
    void resultJson(const std::vector<std::string>& path, std::function<void(std::string)> done);

    // Told on the window's side after each module a load has finished with: (done, total).
    std::function<void(std::size_t, std::size_t)> onProgress;

    // The listing of the last load, one entry per module listed, in order, with the members
    // each object has when this is first asked for after the load. The engine's side only.
    const std::vector<ModuleListing>& listings();
    // Whether loads list what the modules define (the default). A load whose listing nobody
    // sees (quillbox-cli run) does no listing work.
    void setListing(bool on) { listing_ = on; }
    // Deterministic runs (Deterministic.h): loads given from now on run the script after the
    // support scripts and say so on the console; nothing turns it off. Set on the window's side.
    void setDeterminism(std::optional<Determinism> d) { determinism_ = d; }
    // Watch points (WatchLog.h): ChakraCore loads given from now on note the calls that run
    // text or send it out; onWatchLog is then told, on the window's side after a load
    // (`fresh`: the log starts anew) and after each evaluation, the rows noted since.
    // Set on the window's side.
    void setWatching(bool on) { watching_ = on; }
    std::function<void(std::vector<WatchRow>, bool fresh)> onWatchLog;

    // Deletes every listed function, object and member under every module.
    void clearListing();

    // The syntax gate every module and expression passes before it reaches an engine.
    SyntaxGate& syntaxGate() { return gate_; }

private:
    // A module's code as it was when the command was given, and where its page was.
    struct ModuleCode {
        std::string module;
        std::string name;  // the page name
        int position = 0;
        std::string text;
    };
    // Where a module's listed names go: its "方法" and "属性" groups.
    struct ModuleGroups {
        NodeId methods = kNoNode;
        NodeId properties = kNoNode;
    };
    // What a load runs, taken when the command is given.
    struct LoadRequest {
        std::string project;
        std::optional<Determinism> determinism;
        bool watching = false;
        std::vector<ModuleCode> modules;
        std::unordered_map<std::string, ModuleGroups> groups;  // by module
    };
    LoadRequest loadRequest(const std::string& project) const;
    struct ModuleFailure;
    bool loadProject(const LoadRequest& request, EngineKind engine);
    bool addCode(EngineKind engine, const std::string& code, const std::string& sourceName = {});
    bool afterRun(EngineKind engine, bool load);
    bool settleBrowser(EngineKind engine);
    bool takeWatchLog(EngineKind engine, bool load);
    std::optional<ModuleFailure> loadModule(const ModuleCode& code, EngineKind engine, bool watching);
    void reportFailure(const ModuleCode& code, const ModuleFailure& failure, EngineKind engine);
    Evaluation nativeEvaluate(const std::string& expression, const ModuleCode& code);
    Evaluation chakraEvaluate(const std::string& expression, const ModuleCode& code);
    // An evaluation's error: its lines in the transcript, and where it lies: in the expression
    // (`module` empty) or in a module's code, whose line is marked.
    struct EvaluationError;
    void reportEvaluationError(const EvaluationError& error);
    // After a result: its first level, when it has members.
    void offerObject(const std::string& expression, EngineKind engine);
    ObjectNode describeIn(EngineKind engine, const std::vector<std::string>& path);
    // The engine that gave the last result: written on its thread, read on the window's.
    std::atomic<EngineKind> resultEngine_{EngineKind::Native};
    // Selects line L of the module's page from column `start` (1-based) to `end` (the
    // editor's, exclusive; it clips what lies past the end), and shows the page.
    void markOnWindow(const ModuleCode& code, int line, int start, int end, bool show);
    void progress(std::size_t done, std::size_t total);

    // A fresh ChakraCore runtime whose console writes to the console box.
    void newChakra();
    // Listing after each module costs what the module changed: the helper in the engine
    // hands back changes, and each module keeps a shared list of what it shows. The tree's
    // items are made when their node is opened, and an object's members when first wanted.
    // Both give the listing's number: a load lists only while its listing is the tree's.
    unsigned startListing(const LoadRequest& request, EngineKind engine);
    void listModule(const LoadRequest& request, const ModuleCode& code, EngineKind engine, unsigned generation);
    bool applyListingChanges(const std::string& json, bool& changed);
    void putInTree(const ModuleGroups& groups, const std::shared_ptr<const GlobalList>& globals, EngineKind engine);
    void fillMembers(NodeId object, int objectId, unsigned generation, EngineKind engine);
    const std::vector<std::string>& membersOf(int objectId);
    // Before an engine is emptied: the members of what is listed are read while they exist.
    void keepMembers(unsigned generation);
    std::string evalText(EngineKind engine, const std::string& script);
    void relayLog();
    void showFailure(const ModuleCode& code, int line, int column);
    // After an engine call: when it was stopped, writes kStopped and says so.
    bool engineStopped(EngineKind engine);
    bool lastCallStopped(EngineKind engine) const;
    unsigned stopsOf(EngineKind engine) const;
    // Where each command's engine task begins: stops before it are not its own.
    void noteStops(EngineKind engine);
    static std::size_t index(EngineKind engine) { return engine == EngineKind::Native ? 0 : 1; }
    // After a stop the engine is empty: the listing goes and the user is told to load again.
    void engineMadeAnew(EngineKind engine);
    // ChakraCore lists globals in declaration order; the engine under our ChakraCore does not.
    // Every word of the code loaded so far is ranked by where it first appears, and listed
    // names are put in that order.
    void rankWords(const std::string& code);
    void inLoadOrder(GlobalList& names);

    ProjectStore& store_;
    Output& output_;  // the window's side
    EnginePoster toEngine_;
    Poster toWindow_;
    PostedOutput out_;  // the engine's side
    JScript& native_;
    ChakraCore& chakra_;
    // The listing: what the helper holds, in the engine's order; what each module shows.
    struct ListedModule {
        std::string project;
        std::string module;
        std::shared_ptr<const GlobalList> globals;
    };
    // The listing is one for both engines (the tree shows the last load's): held while it is
    // read or changed. Recursive: the listing's steps call one another.
    std::recursive_mutex listingMutex_;
    // Each engine's stop count when its current task began; that engine's thread only.
    unsigned stopsSeen_[2] = {0, 0};
    bool listing_ = true;
    bool browserLog_ = false;
    std::optional<Determinism> determinism_;
    bool watching_ = false;
    EngineKind listedEngine_ = EngineKind::Native;
    bool listingLost_ = false;  // the helper's last answer was unreadable: ask for everything
    bool unranked_ = false;     // a listed name no code loaded so far spells out
    GlobalList inEngineOrder_;
    std::shared_ptr<const GlobalList> shown_;
    std::vector<ListedModule> listed_;
    std::unordered_map<int, std::vector<std::string>> members_;
    std::vector<ModuleListing> listings_;
    bool listingsMade_ = false;
    // Each listing's number: fillers left in the tree by an older one make nothing. Read on
    // the window's side, written on the engine's.
    std::atomic<unsigned> generation_{0};
    // Fillers left in the tree check this before touching the loader.
    std::shared_ptr<char> alive_ = std::make_shared<char>();
    std::unordered_map<std::string, std::size_t> firstSeen_;
    std::size_t rankedSoFar_ = 0;
    SyntaxGate gate_;
};

}  // namespace quillbox::engine
