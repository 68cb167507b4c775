#include "core/engine/CodeLoader.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "core/editor/MemoryPage.h"
#include "core/engine/BrowserEnvironment.h"
#include "core/engine/ConditionalCompilation.h"
#include "core/engine/ResultTree.h"
#include "core/engine/SupportScripts.h"
#include "core/json/JsonDocument.h"
#include "core/text/Text.h"

namespace quillbox::engine {
namespace {

std::vector<std::string> stringArray(const JsonDocument& doc, std::string_view path) {
    std::vector<std::string> out;
    if (doc.kind(path) != JsonKind::Array)
        return out;
    const std::size_t n = doc.count(path);
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(doc.at(path, i).text());
    return out;
}

int lineLength(Page& page, int line) { return static_cast<int>(text::utf8ToUtf16(page.getLine(line)).size()); }

// A refusal of the syntax gate, reported as each engine reports its own syntax errors.
ScriptError nativeRefusal(const SyntaxVerdict& verdict, Page& page) {
    ScriptError error;
    error.Number = error_number::kSyntax;
    error.Source = ScriptControl::kCompileSource;
    error.Description = verdict.message;
    error.Line = verdict.line;
    error.Column = verdict.column;
    error.Text = page.getLine(verdict.line);
    return error;
}

ChakraException chakraRefusal(const SyntaxVerdict& verdict) {
    ChakraException exception;
    exception.thrown = true;
    exception.exception = "SyntaxError: " + verdict.message;
    exception.line = verdict.line - 1;  // the engine counts lines from 0
    exception.column = verdict.column;
    return exception;
}

// The engine gives a SyntaxError without a column; the gate's parser, meeting the same
// error on the same line, knows it.
void addParserColumn(ChakraException& exception, SyntaxGate& gate, const std::string& code) {
    if (!exception.positioned() || exception.column != 0 || exception.exception.rfind("SyntaxError", 0) != 0)
        return;
    const SyntaxVerdict verdict = gate.locateError(code);
    if (verdict.kind == SyntaxVerdict::Kind::SyntaxError && exception.line + 1 == verdict.line)
        exception.column = verdict.column;
}

// Parses the JSON the listing scripts return. Our JSON reader turns an escaped line feed into
// CR LF, which would change a name that holds one; as \u000a it reads back unchanged.
bool parseListing(JsonDocument& doc, const std::string& json) {
    std::string exact;
    exact.reserve(json.size());
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString && c == '\\' && i + 1 < json.size()) {
            exact += json[i + 1] == 'n' ? std::string("\\u000a") : std::string{c, json[i + 1]};
            ++i;
            continue;
        }
        if (c == '"')
            inString = !inString;
        exact += c;
    }
    return doc.parse(exact, true).ok;
}

}  // namespace

void PostedOutput::messageLine(const std::string& text) {
    toWindow_([this, text] { target_.messageLine(text); });
}

void PostedOutput::consoleLine(const std::string& type, const std::string& message) {
    toWindow_([this, type, message] { target_.consoleLine(type, message); });
}

void PostedOutput::errorConsoleLine(const std::string& type, const std::string& message) {
    toWindow_([this, type, message] { target_.errorConsoleLine(type, message); });
}

void PostedOutput::chooseTab(int tab) {
    toWindow_([this, tab] { target_.chooseTab(tab); });
}

void PostedOutput::clear() {
    toWindow_([this] { target_.clear(); });
}

void PostedOutput::echo(const std::string& expression) {
    toWindow_([this, expression] { target_.echo(expression); });
}

void PostedOutput::evaluationError(const std::string& text) {
    toWindow_([this, text] { target_.evaluationError(text); });
}

void PostedOutput::objectResult(const std::string& expression, const ObjectNode& root) {
    toWindow_([this, expression, root] { target_.objectResult(expression, root); });
}

void PostedOutput::errorSpot(const ErrorSpot& spot) {
    toWindow_([this, spot] { target_.errorSpot(spot); });
}

namespace {
void runNow(std::function<void()> task) { task(); }
void runNowFor(EngineKind, std::function<void()> task) { task(); }
// markOnWindow shows the page and marks no line.
constexpr int kNoMark = -1;
}  // namespace

CodeLoader::CodeLoader(ProjectStore& store, Output& output, JScript& native, ChakraCore& chakra)
    : store_(store),
      output_(output),
      toEngine_(runNowFor),
      toWindow_(runNow),
      out_(output, toWindow_),
      native_(native),
      chakra_(chakra) {}

void CodeLoader::setThreads(EnginePoster toEngine, Poster toWindow) {
    toEngine_ = std::move(toEngine);
    toWindow_ = std::move(toWindow);
}

void CodeLoader::rankWords(const std::string& code) {
    std::lock_guard lock(listingMutex_);
    const auto isWordChar = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
               static_cast<unsigned char>(c) >= 0x80;
    };
    for (std::size_t i = 0; i < code.size();) {
        // Comments do not declare anything; text in strings may name a global (this['name']).
        if (code.compare(i, 2, "//") == 0) {
            i = code.find('\n', i);
            i = i == std::string::npos ? code.size() : i;
            continue;
        }
        if (code.compare(i, 2, "/*") == 0) {
            const std::size_t end = code.find("*/", i + 2);
            i = end == std::string::npos ? code.size() : end + 2;
            continue;
        }
        if (!isWordChar(code[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < code.size() && isWordChar(code[i]))
            ++i;
        firstSeen_.try_emplace(code.substr(start, i - start), rankedSoFar_ + start);
    }
    rankedSoFar_ += code.size();
}

void CodeLoader::inLoadOrder(GlobalList& names) {
    unranked_ = false;
    const auto rank = [this](const std::string& name) {
        const auto it = firstSeen_.find(name);
        if (it != firstSeen_.end())
            return it->second;
        unranked_ = true;
        return std::numeric_limits<std::size_t>::max();
    };
    std::vector<std::pair<std::size_t, ListedGlobal>> ranked;
    ranked.reserve(names.size());
    for (ListedGlobal& global : names)
        ranked.emplace_back(rank(global.name), std::move(global));
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < names.size(); ++i)
        names[i] = std::move(ranked[i].second);
}

void CodeLoader::clearListing() {
    std::lock_guard lock(listingMutex_);
    firstSeen_.clear();
    rankedSoFar_ = 0;
    listingLost_ = false;
    unranked_ = false;
    inEngineOrder_.clear();
    shown_ = std::make_shared<const GlobalList>();
    listed_.clear();
    members_.clear();
    listings_.clear();
    listingsMade_ = false;
    // The fillers of the old listing that are still in the tree find nothing to fill.
    ++generation_;
    toWindow_([this, alive = std::weak_ptr<char>(alive_)] {
        if (alive.expired())
            return;
        ProjectTree& tree = store_.tree();
        for (NodeId p : tree.topLevel())
            for (NodeId m : tree.children(p))
                for (NodeId g : tree.children(m))
                    tree.removeChildren(g);
    });
}

bool CodeLoader::load(EngineKind engine, std::function<void(bool)> done) {
    if (!store_.currentPage())
        return false;
    // Without threads the answer is in before this returns; with them, it says "started".
    const auto outcome = std::make_shared<bool>(true);
    toEngine_(engine, [this, engine, request = loadRequest(store_.currentProject()), done, outcome] {
        noteStops(engine);
        const bool ok = loadProject(request, engine);
        toWindow_([this, ok, done, outcome] {
            *outcome = ok;
            if (done)
                done(ok);
        });
    });
    return *outcome;
}

// The project's modules as their pages hold them now, and where each one's listing goes.
CodeLoader::LoadRequest CodeLoader::loadRequest(const std::string& project) const {
    LoadRequest request;
    request.project = project;
    request.determinism = determinism_;
    request.watching = watching_;
    std::unordered_map<std::string, int> pages;
    for (int position = 1; position <= store_.pageCount(); ++position)
        if (store_.projectOfPage(position) == project)
            pages.try_emplace(store_.moduleOfPage(position), position);
    std::unordered_map<std::string, std::string> moduleOfNode;  // "name.js" -> name
    for (const std::string& module : store_.moduleNames(project)) {
        moduleOfNode.try_emplace(module + ".js", module);
        const auto found = pages.find(module);
        Page* page = found == pages.end() ? nullptr : store_.page(found->second);
        if (page)  // a module without a page is skipped without a word
            request.modules.push_back({module, ProjectStore::pageName(project, module), found->second, page->getText()});
    }
    // Every module's groups, found once: looking each up in the tree would cost the tree.
    const ProjectTree& tree = store_.tree();
    for (NodeId p : tree.topLevel()) {
        if (tree.text(p) != project)
            continue;
        for (NodeId m : tree.children(p)) {
            const auto module = moduleOfNode.find(tree.text(m));
            if (module == moduleOfNode.end())
                continue;
            ModuleGroups groups;
            for (NodeId g : tree.children(m)) {
                if (tree.value(g) == node_value::kMethodsGroup && groups.methods == kNoNode)
                    groups.methods = g;
                else if (tree.value(g) == node_value::kPropertiesGroup && groups.properties == kNoNode)
                    groups.properties = g;
            }
            request.groups.try_emplace(module->second, groups);
        }
        break;
    }
    return request;
}

// A listing script's text. A listing that fails is an empty listing and leaves nothing
// behind: ChakraCore keeps a script's exception pending until it is taken, and the next
// module would be blamed for it.
std::string CodeLoader::evalText(EngineKind engine, const std::string& script) {
    if (engine == EngineKind::Native)
        return native_.Eval(script).text();
    std::string text = chakra_.Eval(script);
    if (!lastCallStopped(engine))
        chakra_.TakeException();
    return text;
}

unsigned CodeLoader::startListing(const LoadRequest&, EngineKind engine) {
    std::lock_guard lock(listingMutex_);
    // Cleared again under the same hold: a load begun meanwhile in the other engine has
    // a listing of its own number.
    clearListing();
    listedEngine_ = engine;
    if (!listing_)
        return generation_;
    // ChakraCore's names are put in declaration order here anyway (inLoadOrder); the engine
    // under ours moves them about as others are added, which would make every module's
    // answer the whole list. Duktape keeps its own order, which the listing shows as it is.
    const unsigned generation = generation_;
    addCode(engine, engine == EngineKind::Native ? std::string(kListingHelperScript)
                                                 : std::string(kListingHelperScript) + "QUILLBOX.listing.keepOrder = true;");
    return generation;
}

// The helper's answer {"count": N, "changes": [[index, name, kind, id], ...]} applied to the
// list in the engine's order; false when it cannot be read. `changed` tells whether the list
// is other than it was.
bool CodeLoader::applyListingChanges(const std::string& json, bool& changed) {
    JsonDocument answer;
    if (!parseListing(answer, json) || answer.kind("count") != JsonKind::Number ||
        answer.kind("changes") != JsonKind::Array)
        return false;
    const std::int64_t count = answer.integer("count");
    if (count < 0)
        return false;
    changed = listingLost_ || answer.count("changes") != 0 || static_cast<std::size_t>(count) != inEngineOrder_.size();
    GlobalList list = listingLost_ ? GlobalList() : inEngineOrder_;
    list.resize(static_cast<std::size_t>(count));
    const std::size_t n = answer.count("changes");
    for (std::size_t i = 0; i < n; ++i) {
        const JsonDocument change = answer.at("changes", i);
        const std::int64_t index = change.at("", 0).integer();
        if (change.count() != 4 || index < 0 || index >= count)
            return false;
        ListedGlobal& global = list[static_cast<std::size_t>(index)];
        global.name = change.at("", 1).string();
        global.objectId = change.at("", 2).integer() == 2 ? static_cast<int>(change.at("", 3).integer()) : -1;
    }
    inEngineOrder_ = std::move(list);
    return true;
}

void CodeLoader::listModule(const LoadRequest& request, const ModuleCode& code, EngineKind engine, unsigned generation) {
    if (!listing_)
        return;
    std::lock_guard lock(listingMutex_);
    // A load in the other engine has begun since: the tree shows its listing, not this one.
    if (generation != generation_)
        return;
    const std::string& module = code.module;
    if (engine == EngineKind::ChakraCore)
        rankWords(code.text);
    const std::string answer = evalText(engine, listingLost_ ? kListingEverythingScript : kListingChangesScript);
    if (lastCallStopped(engine))
        return;  // the caller reports the stop
    ListedModule entry{request.project, module, shown_};
    bool changed = false;
    if (!applyListingChanges(answer, changed)) {
        // An engine that gives no listing lists nothing; the next module asks for everything.
        listingLost_ = true;
        entry.globals = std::make_shared<const GlobalList>();
    } else if (changed || (engine == EngineKind::ChakraCore && unranked_)) {
        // A name no code had spelled out yet (this['a' + 'b']) may have been spelled since.
        listingLost_ = false;
        GlobalList shown = inEngineOrder_;
        if (engine == EngineKind::ChakraCore)
            inLoadOrder(shown);
        shown_ = std::make_shared<const GlobalList>(std::move(shown));
        entry.globals = shown_;
    }
    listingsMade_ = false;
    const auto groups = request.groups.find(module);
    if (groups != request.groups.end())
        toWindow_([this, groups = groups->second, globals = entry.globals, engine] { putInTree(groups, globals, engine); });
    listed_.push_back(std::move(entry));
}

// The module's groups get their items when they are opened: a load makes two fillers per
// module, not an item per name per module.
void CodeLoader::putInTree(const ModuleGroups& groups, const std::shared_ptr<const GlobalList>& globals,
                           EngineKind engine) {
    ProjectTree& tree = store_.tree();
    const std::weak_ptr<char> alive = alive_;
    const bool anyFunction = std::any_of(globals->begin(), globals->end(), [](const auto& g) { return !g.isObject(); });
    const bool anyObject = std::any_of(globals->begin(), globals->end(), [](const auto& g) { return g.isObject(); });
    if (groups.methods != kNoNode && anyFunction)
        tree.setLazyChildren(groups.methods, [alive, globals](ProjectTree& t, NodeId group) {
            if (alive.expired())
                return;
            for (const ListedGlobal& g : *globals)
                if (!g.isObject())
                    t.add(group, g.name, node_image::kFunction, node_image::kFunction, node_value::kFunction);
        });
    if (groups.properties == kNoNode || !anyObject)
        return;
    const unsigned generation = generation_;
    tree.setLazyChildren(groups.properties, [this, alive, globals, generation, engine](ProjectTree& t, NodeId group) {
        if (alive.expired())
            return;
        for (const ListedGlobal& g : *globals) {
            if (!g.isObject())
                continue;
            const NodeId object = t.add(group, g.name, node_image::kObject, node_image::kObject, node_value::kObject);
            t.setLazyChildren(object, [this, alive, id = g.objectId, generation, engine](ProjectTree&, NodeId node) {
                if (!alive.expired())
                    fillMembers(node, id, generation, engine);
            });
        }
    });
}

// The members are read where the engine lives and put under the object on the window's
// side, if the object is still there and the listing still the same.
void CodeLoader::fillMembers(NodeId object, int objectId, unsigned generation, EngineKind engine) {
    toEngine_(engine, [this, object, objectId, generation, engine] {
        noteStops(engine);
        std::vector<std::string> members;
        {
            std::lock_guard lock(listingMutex_);
            if (generation != generation_)
                return;
            members = membersOf(objectId);
        }
        toWindow_([this, object, generation, members = std::move(members)] {
            ProjectTree& tree = store_.tree();
            if (generation != generation_ || !tree.exists(object))
                return;
            for (const std::string& m : members) {
                const bool tooMany = &m == &members.back() && members.size() > kMaxListedMembers;
                tree.add(object, m, node_image::kMember, node_image::kMember, tooMany ? 0 : node_value::kMember);
            }
        });
    });
}

// An object's members as listed: at most 30, then kTooManyMembers. Read once per load.
const std::vector<std::string>& CodeLoader::membersOf(int objectId) {
    std::lock_guard lock(listingMutex_);
    auto it = members_.find(objectId);
    if (it != members_.end())
        return it->second;
    std::vector<std::string> listed;
    const std::string json =
        evalText(listedEngine_, kListingMembersPrefix + std::to_string(objectId) + ")");
    JsonDocument members;
    // A stop here leaves an empty engine; what is listed stays until the next load clears it.
    if (!lastCallStopped(listedEngine_) && parseListing(members, json)) {
        for (std::string& m : stringArray(members, "")) {
            if (listed.size() == kMaxListedMembers) {
                listed.push_back(kTooManyMembers);
                break;
            }
            listed.push_back(std::move(m));
        }
    }
    return members_.emplace(objectId, std::move(listed)).first->second;
}

void CodeLoader::keepMembers(unsigned generation) {
    std::lock_guard lock(listingMutex_);
    if (generation != generation_)
        return;
    for (const ListedModule& module : listed_)
        for (const ListedGlobal& g : *module.globals)
            if (g.isObject())
                membersOf(g.objectId);
}

const std::vector<ModuleListing>& CodeLoader::listings() {
    std::lock_guard lock(listingMutex_);
    if (listingsMade_)
        return listings_;
    listings_.clear();
    for (const ListedModule& module : listed_) {
        ModuleListing listing{ProjectStore::pageName(module.project, module.module), {}, {}};
        for (const ListedGlobal& g : *module.globals) {
            if (g.isObject())
                listing.objects.push_back({g.name, membersOf(g.objectId)});
            else
                listing.functions.push_back(g.name);
        }
        listings_.push_back(std::move(listing));
    }
    listingsMade_ = true;
    return listings_;
}

void CodeLoader::relayLog() {
    if (native_.Eval(kLogTestScript).text() != "0")
        return;
    JsonDocument log;
    if (!log.parse(native_.Eval("QUILLBOX.JSON.stringify(QUILLBOX.log)").text(), true).ok ||
        log.kind() != JsonKind::Array)
        return;
    for (std::size_t i = 0; i < log.count(); ++i) {
        const JsonDocument entry = log.at("", i);
        auto field = [&](const char* name) {
            const JsonKind kind = entry.kind(name);
            if (kind == JsonKind::Array || kind == JsonKind::Object)
                return entry.toJson(name);
            return entry.text(name);
        };
        out_.consoleLine(field("type"), field("msg"));
    }
}

// Marks the failing line of the module's page and shows that page.
void CodeLoader::showFailure(const ModuleCode& code, int line, int column) {
    if (line == 0)
        out_.messageLine(code.name + kLoadFailedSuffix);
    MemoryPage page(code.name, code.text);
    const int length = lineLength(page, line);
    // A long line (minified code) is not selected whole: the cursor goes to the column.
    if (line > 0 && length > kExcerptWidth) {
        markOnWindow(code, line, column + 1, column + 1, true);
        return;
    }
    markOnWindow(code, line, 1, line == 0 ? length : 999999, true);
}

namespace {
// The page name a module's code runs under in the native engine (see ScriptControl::AddCode):
// marked, so no name of the engine's own is taken for a module's. No colon: the engine's
// stack lines put one between the name and the line.
constexpr std::string_view kModuleChunk = "module|";
}  // namespace

void CodeLoader::markOnWindow(const ModuleCode& code, int line, int start, int end, bool show) {
    toWindow_([this, code, line, start, end, show] {
        // The page may have gone, or moved, since the command was given.
        int position = code.position;
        Page* page = store_.page(position);
        if (!page || page->name() != code.name) {
            page = nullptr;
            for (int p = 1; p <= store_.pageCount() && !page; ++p)
                if (store_.page(p)->name() == code.name)
                    page = store_.page(position = p);
        }
        if (!page)
            return;
        if (line != kNoMark) {
            page->gotoLine(line);
            page->select(line, start, line, end);
        }
        if (show)
            store_.showPage(position);
    });
}

void CodeLoader::progress(std::size_t done, std::size_t total) {
    if (onProgress)
        toWindow_([this, done, total] {
            if (onProgress)
                onProgress(done, total);
        });
}

// What went wrong with a module, as the engine (or the gate before it) told it.
struct CodeLoader::ModuleFailure {
    bool positioned = true;  // ChakraCore may give no line for a thrown value
    int line = 0;            // 1-based
    int column = 0;
    long number = 0;         // the native engine's error number
    std::string description;
};

// The load, for either engine: the support scripts, then each module in order until one
// fails. A stop at any point ends it with the engine made anew.
bool CodeLoader::loadProject(const LoadRequest& request, EngineKind engine) {
    if (engine == EngineKind::Native)
        native_.Reset();
    else
        newChakra();
    clearListing();
    addCode(engine, jsonSupportScript());
    if (engineStopped(engine))
        return false;
    if (request.determinism) {
        addCode(engine, deterministicScript(*request.determinism));
        if (engineStopped(engine))
            return false;
        out_.consoleLine(request.project, deterministicLine(*request.determinism));
    }
    const bool holdsBrowser = std::any_of(request.modules.begin(), request.modules.end(),
                                          [](const ModuleCode& code) { return code.module == kBrowserModuleName; });
    const bool watching = request.watching && engine == EngineKind::ChakraCore;
    if (watching) {
        addCode(engine, watchScript(holdsBrowser ? ProjectStore::pageName(request.project, kBrowserModuleName) : ""),
                kWatchSourceName);
        if (engineStopped(engine))
            return false;
    }
    if (browserLog_ && holdsBrowser && engine == EngineKind::ChakraCore) {
        std::vector<std::string> codes;
        for (const ModuleCode& code : request.modules)
            if (code.module != kBrowserModuleName)
                codes.push_back(code.text);
        addCode(engine, browserLogScript(codes));
        if (engineStopped(engine))
            return false;
    }
    const unsigned listing = startListing(request, engine);
    if (engineStopped(engine))
        return false;
    std::size_t done = 0;
    for (const ModuleCode& code : request.modules) {
        const std::optional<ModuleFailure> failure = loadModule(code, engine, watching);
        if (engineStopped(engine))
            return false;
        if (failure) {
            reportFailure(code, *failure, engine);
            out_.chooseTab(0);
            keepMembers(listing);
            // What was noted up to the failure is what the user needs most.
            if (watching)
                takeWatchLog(engine, true);
            if (engine == EngineKind::Native)
                native_.Reset();
            else
                chakra_.Reset();
            return false;
        }
        out_.messageLine(code.name + kLoadedSuffix);
        if (watching) {
            evalText(engine, kWatchHookScript);
            if (engineStopped(engine))
                return false;
        }
        listModule(request, code, engine, listing);
        if (engineStopped(engine))
            return false;
        progress(++done, request.modules.size());
    }
    // The native engine's log is relayed after the output switches; ChakraCore's console
    // wrote while it ran.
    if (engine == EngineKind::Native) {
        out_.chooseTab(1);
        relayLog();
        out_.consoleLine(request.project, kLoaded);
    } else {
        out_.consoleLine(request.project, kLoaded);
        out_.chooseTab(1);
    }
    return afterRun(engine, true);
}

bool CodeLoader::addCode(EngineKind engine, const std::string& code, const std::string& name) {
    if (engine == EngineKind::Native)
        return native_.ControlObject()->AddCode(code, name.empty() ? name : std::string(kModuleChunk) + name);
    return chakra_.AddCode(code, name.empty() ? std::string(ChakraCore::kScriptUrl) : name);
}

// Where the project holds the browser environment: what the code wrote is taken in and the
// timers that fell due run, as a page's would once its script has finished; then the access
// log, when it is kept, goes to onAccessLog. Nothing happens in an engine without it.
bool CodeLoader::afterRun(EngineKind engine, bool load) {
    return settleBrowser(engine) && takeWatchLog(engine, load);
}

// A watched engine's rows since they were last taken go to onWatchLog.
bool CodeLoader::takeWatchLog(EngineKind engine, bool load) {
    if (engine == EngineKind::Native || !onWatchLog)
        return true;
    const std::string answer = evalText(engine, kWatchTakeScript);
    if (engineStopped(engine))
        return false;
    if (answer.empty())
        return true;
    toWindow_([this, rows = parseWatchLog(answer), load] {
        if (onWatchLog)
            onWatchLog(rows, load);
    });
    return true;
}

bool CodeLoader::settleBrowser(EngineKind engine) {
    const bool native = engine == EngineKind::Native;
    const std::string present = evalText(engine, kBrowserPresentScript);
    if (engineStopped(engine))
        return false;
    if (present != "1")
        return true;
    if (native)
        native_.AddCode("QUILLBOX.log=[]");
    evalText(engine, kBrowserSettleScript);
    if (engineStopped(engine))
        return false;
    if (native)
        relayLog();
    if (!onAccessLog || native)
        return true;
    std::vector<AccessRow> rows = parseAccessLog(evalText(engine, kBrowserAccessLogScript));
    if (engineStopped(engine))
        return false;
    toWindow_([this, rows = std::move(rows)] {
        if (onAccessLog)
            onAccessLog(rows);
    });
    return true;
}

// Runs the module's code past the gate; what failed, or nothing. Success is the engine's
// own verdict: a script may throw a value whose text is empty, and that is still a failure.
std::optional<CodeLoader::ModuleFailure> CodeLoader::loadModule(const ModuleCode& code, EngineKind engine,
                                                                bool watching) {
    const bool native = engine == EngineKind::Native;
    // The native engine compiles what conditional compilation leaves of the text.
    const SyntaxVerdict verdict = native ? gate_.check(applyConditionalCompilation(code.text), SyntaxLevel::JScript)
                                         : gate_.check(code.text, SyntaxLevel::ChakraCore);
    if (verdict.refused()) {
        ModuleFailure failure;
        failure.line = verdict.line;
        failure.column = verdict.column;
        failure.number = error_number::kSyntax;
        failure.description = native ? verdict.message : "SyntaxError: " + verdict.message;
        return failure;
    }
    // Watched, its eval calls pass what they are given through the log first.
    // (The browser environment's own evals run the strings of timers the log has noted.)
    const std::string watched =
        watching && code.module != kBrowserModuleName ? gate_.watchedCode(code.text) : std::string();
    const bool ok = addCode(engine, watched.empty() ? code.text : watched, code.name);
    if (lastCallStopped(engine))
        return std::nullopt;  // the caller reports the stop
    if (native) {
        const ScriptError& error = native_.ControlObject()->Error();
        if (error.Description.empty())
            return std::nullopt;
        return ModuleFailure{true, error.Line, error.Column, error.Number, error.Description};
    }
    ChakraException exception = chakra_.TakeException();
    if (ok)
        return std::nullopt;
    addParserColumn(exception, gate_, code.text);
    // The engine counts lines from 0; the editor and the user count from 1.
    return ModuleFailure{exception.positioned(), exception.line + 1, exception.column, 0, exception.exception};
}

// The failing module's page is shown with the failing line marked, and the error told as
// each engine's users have always read it.
void CodeLoader::reportFailure(const ModuleCode& code, const ModuleFailure& failure, EngineKind engine) {
    // A long line (minified code) is told as the part around the column, never whole.
    const ErrorSpot spot =
        spotOf(code.name, failure.line, failure.column, MemoryPage(code.name, code.text).getLine(failure.line));
    const std::string& codeLine = spot.excerpt;
    const std::string place = std::to_string(failure.line) + "行" + std::to_string(failure.column) + "字符";
    if (engine == EngineKind::Native) {
        showFailure(code, failure.line, failure.column);
        relayLog();
        out_.messageLine("发生错误：" + std::to_string(failure.number));
        out_.messageLine("错误描述：" + failure.description);
        out_.messageLine("错误位置：" + place);
        out_.messageLine("错误代码：" + codeLine);
        out_.errorSpot(spot);
        return;
    }
    if (!failure.positioned) {
        // No line to blame: the module is named and shown, and no line is marked.
        out_.messageLine(code.name + kLoadFailedSuffix);
        markOnWindow(code, kNoMark, 1, 0, true);
        out_.messageLine("错误描述：" + failure.description);
        out_.messageLine(std::string("错误位置：") + kNoPosition);
        return;
    }
    showFailure(code, failure.line, failure.column);
    out_.messageLine("错误描述：" + failure.description);
    out_.messageLine("错误位置：" + place);
    out_.messageLine("错误代码：" + codeLine);
    out_.errorSpot(spot);
}

// Whether a stop has ended a call of this engine since the command began (noteStops): a
// command makes several calls, and a stop that lands in any of them ends the command.
bool CodeLoader::lastCallStopped(EngineKind engine) const { return stopsOf(engine) != stopsSeen_[index(engine)]; }

unsigned CodeLoader::stopsOf(EngineKind engine) const {
    return engine == EngineKind::Native ? native_.ControlObject()->stops() : chakra_.stops();
}

void CodeLoader::noteStops(EngineKind engine) {
    stopsSeen_[index(engine)] = stopsOf(engine);
    // A stop meant for the command before, come as its last call finished, is not this one's.
    if (engine == EngineKind::Native)
        native_.ControlObject()->dropPendingStop();
    else
        chakra_.dropPendingStop();
}

bool CodeLoader::engineStopped(EngineKind engine) {
    if (!lastCallStopped(engine))
        return false;
    // The engine has already been made anew, empty but usable: what was loaded is gone, and
    // the next evaluation runs against an empty engine rather than none.
    noteStops(engine);
    out_.messageLine(kStopped);
    engineMadeAnew(engine);
    out_.chooseTab(0);
    return true;
}

void CodeLoader::engineMadeAnew(EngineKind engine) {
    // The listing goes with the engine it came from; another engine's stays as it was.
    {
        std::lock_guard lock(listingMutex_);
        if (listedEngine_ == engine)
            clearListing();
    }
    out_.messageLine(kLoadAgain);
}

void CodeLoader::newChakra() {
    chakra_.Reset();
    chakra_.New();
    chakra_.SetLogCallback([this](const std::string& type, const std::string& text) { out_.consoleLine(type, text); });
    chakra_.SetWarnCallback(
        [this](const std::string& type, const std::string& text) { out_.errorConsoleLine(type, text); });
}

Evaluation CodeLoader::evaluate(const std::string& expression, EngineKind engine, std::function<void(Evaluation)> done) {
    Page* page = store_.currentPage();
    if (expression.empty() || !page)
        return Evaluation::Nothing;
    const int position = store_.currentPagePosition();
    ModuleCode code{store_.moduleOfPage(position), page->name(), position, page->getText()};
    const auto outcome = std::make_shared<Evaluation>(Evaluation::Nothing);
    toEngine_(engine, [this, expression, engine, code = std::move(code), done, outcome] {
        noteStops(engine);
        const Evaluation result =
            engine == EngineKind::Native ? nativeEvaluate(expression, code) : chakraEvaluate(expression, code);
        if (result != Evaluation::Stopped && result != Evaluation::Nothing)
            afterRun(engine, false);
        toWindow_([this, result, done, outcome] {
            *outcome = result;
            if (done)
                done(result);
        });
    });
    return *outcome;
}

// What an evaluation's error says and where it lies.
struct CodeLoader::EvaluationError {
    std::vector<std::string> lines;  // the lines told, in order
    std::string expression;
    std::string module;              // the page name of the module it lies in; "" for the expression
    bool positioned = true;
    int line = 0;                    // 1-based, in the expression or the module
    int column = 0;
    std::string lineText;            // the module's line, as the engine knows it
};

void CodeLoader::reportEvaluationError(const EvaluationError& error) {
    for (const std::string& line : error.lines)
        out_.evaluationError(line);
    if (error.positioned) {
        // The expression's own error is shown under the expression; a module's is marked in
        // its page, which the spot's link opens.
        if (error.module.empty()) {
            out_.errorSpot([&] {
                ErrorSpot spot = spotOf("", error.line, error.column, MemoryPage("", error.expression).getLine(error.line));
                spot.evaluation = true;
                return spot;
            }());
        } else {
            ErrorSpot spot = spotOf(error.module, error.line, error.column, error.lineText);
            spot.evaluation = true;
            out_.errorSpot(spot);
            markOnWindow(ModuleCode{"", error.module, 0, ""}, error.line, 1, 999999, false);
        }
    }
    // Errors of evaluations are told in the transcript with the expression.
    out_.chooseTab(1);
}

Evaluation CodeLoader::nativeEvaluate(const std::string& expression, const ModuleCode& code) {
    (void)code;
    auto control = native_.ControlObject();
    out_.echo(expression);
    // One evaluation gives everything shown: the value, its text and type, and the log
    // entries it made (the log is emptied just before it). Code with side effects sees
    // them once, and a failure is the engine's verdict, whatever the value's text.
    const SyntaxVerdict verdict = gate_.check(applyConditionalCompilation(expression), SyntaxLevel::JScript);
    Value value;
    if (!verdict.refused()) {
        native_.AddCode("QUILLBOX.log=[]");
        if (!lastCallStopped(kNativeEngine))  // a stop in the prelude leaves an empty engine
            value = control->Eval(expression, true);
    }
    if (!verdict.refused() && engineStopped(kNativeEngine))
        return Evaluation::Stopped;
    if (verdict.refused() || control->Error().Number != 0) {
        MemoryPage typed("", expression);
        const ScriptError error = verdict.refused() ? nativeRefusal(verdict, typed) : control->Error();
        EvaluationError told;
        told.lines = {"发生错误：错误号=" + std::to_string(error.Number),
                      "错误位置：" + std::to_string(error.Line) + "行" + std::to_string(error.Column) + "字符处",
                      "错误描述：：" + error.Description};
        told.expression = expression;
        told.line = error.Line;
        told.column = error.Column;
        told.lineText = error.Text;
        if (!verdict.refused() && error.File.rfind(kModuleChunk, 0) == 0)
            told.module = error.File.substr(kModuleChunk.size());
        else if (!verdict.refused() && error.File.rfind("eval", 0) != 0)
            told.positioned = false;  // in code of the program's own: no place to show
        told.positioned = told.positioned && error.Line > 0;
        reportEvaluationError(told);
        return Evaluation::Failed;
    }
    const bool hasLog = native_.Eval(kLogTestScript).text() == "0";
    if (value.isBoolean()) {
        out_.evaluationError(kBooleanRefusal);
        out_.chooseTab(1);
        return Evaluation::Refused;
    }
    if (hasLog)
        relayLog();
    out_.chooseTab(1);
    out_.consoleLine(kResultType, value.text());
    if (value.kind() == Value::Kind::Object)
        offerObject(expression, kNativeEngine);
    return Evaluation::Result;
}

Evaluation CodeLoader::chakraEvaluate(const std::string& expression, const ModuleCode& code) {
    if (code.text.empty())
        return Evaluation::Nothing;
    out_.echo(expression);
    // Before the first load and after a failed one there is no runtime, and Eval would hand
    // back nothing as if it were the result; the expression runs in an empty engine instead.
    if (!chakra_.hasRuntime())
        newChakra();
    chakra_.TakeException();
    const SyntaxVerdict verdict = gate_.check(expression, SyntaxLevel::ChakraCore);
    const std::string result =
        verdict.refused() ? std::string() : chakra_.Eval(expression, ChakraCore::kScriptUrl, true);
    if (!verdict.refused() && engineStopped(kChakraEngine))
        return Evaluation::Stopped;
    ChakraException exception = verdict.refused() ? chakraRefusal(verdict) : chakra_.TakeException();
    // Whatever was thrown ("", a Symbol, an object without text) is a failure.
    if (exception.thrown) {
        EvaluationError told;
        told.expression = expression;
        told.positioned = exception.positioned();
        if (!verdict.refused() && exception.url != ChakraCore::kScriptUrl && !exception.url.empty())
            told.module = exception.url;
        if (told.module.empty())
            addParserColumn(exception, gate_, expression);
        told.line = exception.line + 1;
        told.column = std::max(exception.column, 0);
        told.lineText = exception.source;
        if (told.positioned)
            told.lines.push_back("错误位置：" + std::to_string(told.line) + "行" + std::to_string(exception.column) +
                                 "字符处");
        else
            told.lines.push_back(std::string("错误位置：") + kNoPosition);
        told.lines.push_back("错误描述：：" + exception.exception);
        reportEvaluationError(told);
        return Evaluation::Failed;
    }
    out_.chooseTab(1);
    out_.consoleLine(kResultType, result);
    offerObject(expression, kChakraEngine);
    return Evaluation::Result;
}

ObjectNode CodeLoader::describeIn(EngineKind engine, const std::vector<std::string>& path) {
    ObjectNode node;
    if (!parseObjectNode(evalText(engine, describeScript(path)), node))
        return ObjectNode();
    return node;
}

void CodeLoader::offerObject(const std::string& expression, EngineKind engine) {
    resultEngine_ = engine;
    ObjectNode root = describeIn(engine, {});
    if (root.type == "object" || root.type == "array" || (root.type == "function" && !root.entries.empty()))
        out_.objectResult(expression, root);
}

void CodeLoader::describeResult(const std::vector<std::string>& path, std::function<void(ObjectNode)> done) {
    const EngineKind engine = resultEngine_;
    toEngine_(engine, [this, path, done, engine] {
        ObjectNode node = describeIn(engine, path);
        toWindow_([node = std::move(node), done] { done(node); });
    });
}

void CodeLoader::resultJson(const std::vector<std::string>& path, std::function<void(std::string)> done) {
    const EngineKind engine = resultEngine_;
    toEngine_(engine, [this, path, done, engine] {
        std::string json = evalText(engine, jsonScript(path));
        toWindow_([json = std::move(json), done] { done(json); });
    });
}

}  // namespace quillbox::engine
