#include "core/convert/Convert.h"

#include <algorithm>
#include <optional>
#include <set>

#include "core/engine/ChakraCore.h"
#include "core/engine/JScript.h"
#include "core/engine/ScriptControl.h"
#include "core/engine/SupportScripts.h"
#include "core/engine/SyntaxGate.h"
#include "core/json/JsonDocument.h"
#include "core/platform/Assets.h"
#include "core/tools/Stop.h"
#include "core/tools/ToolsContext.h"

namespace quillbox::convert {

namespace {

// What each shim stands in for. Names are globals ("JSON"), a global's properties
// ("Math.sign": the code wrote Math.sign) or any object's properties (".padStart"). A method's
// name cannot tell whose it is (".indexOf" is String's in ES3 and Array's in ES5), so a shim is
// added for any use of its names: one too many costs load time, one too few a failure at run
// time.
struct ShimKind {
    const char* name;
    const char* asset;
    std::vector<const char*> names;
    std::vector<const char*> needs;  // other shims (by asset) it must follow
};

const std::vector<ShimKind>& shimKinds() {
    static const std::vector<ShimKind> kinds = {
        // Reads that may index a string, rewritten by the conversion (tools/convert.js).
        {"string index (Quillbox)", "shims/string-index.js", {"__qbIndex"}, {}},
        {"es5-shim 4.6.7",
         "shims/es5-shim.js",
         {".forEach", ".map", ".filter", ".some", ".every", ".reduce", ".reduceRight", ".indexOf", ".lastIndexOf",
          "Array.isArray", "Object.keys", ".bind", ".trim", ".toISOString", "Date.now"},
         {}},
        {"es5-sham 4.6.7",
         "shims/es5-sham.js",
         {"Object.create", "Object.getPrototypeOf", "Object.defineProperty", "Object.defineProperties",
          "Object.getOwnPropertyNames", "Object.getOwnPropertyDescriptor", "Object.freeze", "Object.seal",
          "Object.preventExtensions", "Object.isFrozen", "Object.isSealed", "Object.isExtensible"},
         {"shims/es5-shim.js"}},
        {"JSON 3 3.3.3", "shims/json3.js", {"JSON"}, {}},
        // Regular expressions built from regular expressions, and search; core-js's feature
        // tests make both calls.
        {"RegExp fix (Quillbox)", "shims/regexp-fix.js", {"RegExp", ".search"}, {}},
        {"core-js 3.51.0 (converted)",
         "shims/core-js.js",
         {"Symbol", "Promise", "Map", "Set", "WeakMap", "WeakSet", "Reflect", "globalThis", "queueMicrotask",
          // the constructors' own functions
          "Object.assign", "Object.entries", "Object.values", "Object.fromEntries", "Object.getOwnPropertySymbols",
          "Object.is", "Object.hasOwn", "Array.from", "Array.of", "String.fromCodePoint", "String.raw",
          "Number.isInteger", "Number.isSafeInteger", "Number.isFinite", "Number.isNaN", "Number.parseFloat",
          "Number.parseInt", "Number.EPSILON", "Number.MAX_SAFE_INTEGER", "Number.MIN_SAFE_INTEGER", "Math.imul",
          "Math.clz32", "Math.trunc", "Math.sign", "Math.log2", "Math.log10", "Math.log1p", "Math.expm1", "Math.cbrt",
          "Math.hypot", "Math.fround", "Math.sinh", "Math.cosh", "Math.tanh", "Math.asinh", "Math.acosh", "Math.atanh",
          // the prototypes' methods
          ".find", ".findIndex", ".findLast", ".findLastIndex", ".includes", ".fill", ".startsWith", ".endsWith",
          ".repeat", ".padStart", ".padEnd", ".codePointAt", ".entries", ".values", ".flat", ".flatMap", ".copyWithin",
          ".trimStart", ".trimEnd", ".matchAll", ".replaceAll", ".at"},
         {"shims/es5-shim.js", "shims/es5-sham.js", "shims/regexp-fix.js"}},
        {"typed arrays (Quillbox, ES3)",
         "shims/typed-array.js",
         {"ArrayBuffer", "Int8Array", "Uint8Array", "Uint8ClampedArray", "Int16Array", "Uint16Array", "Int32Array",
          "Uint32Array", "Float32Array", "Float64Array"},
         {}},
    };
    return kinds;
}

std::string joined(const std::vector<std::string>& names, std::size_t most) {
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < most; ++i)
        text += (i ? ", " : "") + names[i];
    if (names.size() > most)
        text += " …";
    return text;
}

std::string place(const std::string& module, int line, int column) {
    return module + ":" + std::to_string(line) + ":" + std::to_string(column);
}

}  // namespace

std::vector<Shim> chooseShims(const std::vector<std::string>& uses) {
    const std::set<std::string> used(uses.begin(), uses.end());
    const auto& kinds = shimKinds();
    std::vector<std::vector<std::string>> reasons(kinds.size());
    for (std::size_t k = 0; k < kinds.size(); ++k)
        for (const char* name : kinds[k].names)
            if (used.count(name))
                reasons[k].push_back(name);
    // A shim that another needs comes with it (the kinds are listed in load order).
    for (std::size_t k = kinds.size(); k-- > 0;) {
        if (reasons[k].empty())
            continue;
        for (const char* need : kinds[k].needs)
            for (std::size_t j = 0; j < k; ++j)
                if (std::string(kinds[j].asset) == need && reasons[j].empty())
                    reasons[j].push_back(std::string("needed by ") + kinds[k].name);
    }
    std::vector<Shim> shims;
    for (std::size_t k = 0; k < kinds.size(); ++k)
        if (!reasons[k].empty())
            shims.push_back({kinds[k].name, kinds[k].asset, "uses " + joined(reasons[k], 8)});
    for (Shim& s : shims)
        if (s.reason.rfind("uses needed by ", 0) == 0)
            s.reason = s.reason.substr(5);
    return shims;
}

Converter::Converter() : tools_(std::make_unique<tools::ToolsContext>()), gate_(std::make_unique<engine::SyntaxGate>()) {}
Converter::~Converter() = default;

void Converter::setStop(std::shared_ptr<const tools::Stop> stop) {
    stop_ = stop;
    tools_->setStop(std::move(stop));
}

namespace {

Conversion stoppedConversion() {
    Conversion c;
    c.stopped = true;
    c.error = kStoppedMessage;
    return c;
}

}  // namespace

Conversion Converter::convert(const std::vector<SourceModule>& modules) {
    Conversion conversion;
    for (const char* asset : {"tools/babel.js", "tools/convert.js"}) {
        const tools::ToolResult loaded = tools_->load(asset);
        if (loaded.stopped)
            return stoppedConversion();
        if (!loaded.ok) {
            conversion.error = "the conversion could not start: " + loaded.error;
            return conversion;
        }
    }
    std::vector<std::string> uses;
    std::vector<std::pair<std::string, Problem>> warnings;  // (the shim whose limit it is, the warning)
    for (const SourceModule& module : modules) {
        const tools::ToolResult answer = tools_->call("quillboxConvert", {module.code});
        if (answer.stopped)
            return stoppedConversion();
        if (!answer.ok) {
            conversion.error = module.name + ": the conversion failed: " + answer.error;
            return conversion;
        }
        JsonDocument doc;
        if (!doc.parse(answer.text, true).ok) {
            conversion.error = module.name + ": the conversion gave no readable answer";
            return conversion;
        }
        if (doc.count("error") > 0) {
            conversion.error = place(module.name, static_cast<int>(doc.integer("error.line")),
                                     static_cast<int>(doc.integer("error.column")) + 1) +
                               ": " + doc.text("error.message");
            return conversion;
        }
        ConvertedModule out;
        out.name = module.name;
        const tools::ToolResult code = tools_->call("quillboxConvertedCode", {});
        if (code.stopped)
            return stoppedConversion();
        if (!code.ok) {
            conversion.error = module.name + ": the conversion failed: " + code.error;
            return conversion;
        }
        out.code = code.text;
        for (std::size_t i = 0, n = doc.count("converted"); i < n; ++i) {
            const std::string at = "converted[" + std::to_string(i) + "]";
            out.converted.emplace_back(doc.text(at + "[0]"), static_cast<int>(doc.integer(at + "[1]")));
        }
        for (std::size_t i = 0, n = doc.count("uses"); i < n; ++i)
            uses.push_back(doc.text("uses[" + std::to_string(i) + "]"));
        for (std::size_t i = 0, n = doc.count("problems"); i < n; ++i) {
            const std::string at = "problems[" + std::to_string(i) + "]";
            conversion.problems.push_back({module.name, static_cast<int>(doc.integer(at + ".line")),
                                           static_cast<int>(doc.integer(at + ".column")) + 1, doc.text(at + ".construct"),
                                           doc.text(at + ".why")});
        }
        for (std::size_t i = 0, n = doc.count("warnings"); i < n; ++i) {
            const std::string at = "warnings[" + std::to_string(i) + "]";
            warnings.push_back({doc.text(at + ".shim"),
                                {module.name, static_cast<int>(doc.integer(at + ".line")),
                                 static_cast<int>(doc.integer(at + ".column")) + 1, doc.text(at + ".construct"),
                                 doc.text(at + ".why")}});
        }
        // What the conversion leaves that the native engine's gate still refuses (ES5 syntax
        // such as accessors in object literals has no ES3 form): placed in the converted code.
        const engine::SyntaxVerdict verdict = gate_->check(out.code, engine::SyntaxLevel::JScript);
        if (verdict.kind == engine::SyntaxVerdict::Kind::Refused || verdict.kind == engine::SyntaxVerdict::Kind::SyntaxError)
            conversion.problems.push_back({module.name + " (converted)", verdict.line, verdict.column + 1,
                                           verdict.feature.empty() ? "syntax" : verdict.feature,
                                           "the native engine refuses the converted code: " + verdict.message});
        conversion.modules.push_back(std::move(out));
    }
    if (stop_ && stop_->stopped())
        return stoppedConversion();
    conversion.shims = chooseShims(uses);
    // A shim's limit matters only where the shim is added.
    for (auto& [shim, warning] : warnings)
        if (shim.empty() || std::any_of(conversion.shims.begin(), conversion.shims.end(),
                                        [&](const Shim& s) { return s.asset == "shims/" + shim + ".js"; }))
            conversion.warnings.push_back(std::move(warning));
    for (const Shim& shim : conversion.shims) {
        const auto text = assets::find(shim.asset);
        if (!text) {
            conversion.error = "the shim " + shim.name + " is not in this program";
            return conversion;
        }
        conversion.shimCode += "// ---- " + shim.name + ": " + shim.reason + "\r\n";
        conversion.shimCode += std::string(*text);
        conversion.shimCode += "\r\n;\r\n";
    }
    conversion.ok = true;
    return conversion;
}

std::vector<std::string> reportLines(const Conversion& c) {
    std::vector<std::string> lines;
    if (c.stopped) {
        lines.push_back("转换已停止：nothing was written");
        return lines;
    }
    if (!c.ok) {
        lines.push_back("转换失败：" + c.error);
        return lines;
    }
    for (const ConvertedModule& m : c.modules) {
        std::vector<std::string> parts;
        for (const auto& [feature, count] : m.converted)
            parts.push_back(feature + " ×" + std::to_string(count));
        lines.push_back("converted " + m.name + ": " + (parts.empty() ? "nothing needed converting" : joined(parts, 99)));
    }
    if (c.shims.empty())
        lines.push_back("shims: none needed");
    for (const Shim& s : c.shims)
        lines.push_back("shim " + s.name + ": " + s.reason);
    for (const Problem& p : c.warnings)
        lines.push_back("may differ in JScript 5.7: " + place(p.module, p.line, p.column) + ": " + p.construct + " — " + p.why);
    for (const Problem& p : c.problems)
        lines.push_back("cannot run in JScript 5.7: " + place(p.module, p.line, p.column) + ": " + p.construct + " — " +
                        p.why);
    lines.push_back(c.problems.empty() ? "转换完成：no construct left that JScript 5.7 cannot run"
                                       : "转换完成，但有 " + std::to_string(c.problems.size()) +
                                             " 处 JScript 5.7 无法运行");
    return lines;
}

// ---- the check by running ----

namespace {

std::string chakraError(engine::ChakraCore& chakra) {
    const engine::ChakraException e = chakra.TakeException();
    std::string text = e.exception;
    if (e.positioned())
        text += " (line " + std::to_string(e.line + 1) + ")";
    return text;
}

// The native engine's error after a call, "" when it had none.
std::string nativeError(engine::JScript& native) {
    const engine::ScriptError& e = native.ControlObject()->Error();
    if (e.Number == 0)
        return {};
    std::string text = e.Description;
    if (e.Line > 0)
        text += " (line " + std::to_string(e.Line) + (e.Text.empty() ? "" : ": " + e.Text.substr(0, 120)) + ")";
    return text;
}

bool nativeAdd(engine::JScript& native, const std::string& code, std::string& error) {
    native.AddCode(code);
    error = nativeError(native);
    return error.empty();
}

}  // namespace

bool RunCheck::allAgree() const {
    return std::all_of(expressions.begin(), expressions.end(), [](const CheckedExpression& e) { return e.agree; });
}

RunCheck checkByRunning(const std::vector<SourceModule>& original, const Conversion& conversion,
                        const std::vector<std::string>& expressions, const std::string& prelude,
                        const tools::Stop* stop) {
    RunCheck check;
    engine::JScript native;
    native.Reset();
    engine::ChakraCore chakra;
    // Both engines take a stop from any thread; one that comes between calls ends the next.
    std::optional<tools::Stop::Hook> hook;
    if (stop) {
        engine::ScriptControl* control = native.ControlObject().get();
        hook.emplace(stop->onStop([control, &chakra] {
            control->stop();
            chakra.stop();
        }));
    }
    const auto stopped = [&] {
        if (stop && stop->stopped())
            check.stopped = true;
        return check.stopped;
    };
    std::string error;
    check.loaded = nativeAdd(native, engine::jsonSupportScript(), error);
    // The shims belong to the engine, as if it had them: they run before any host the code
    // expects (several are UMD modules, and would go into a `module.exports` the prelude made).
    if (check.loaded && !conversion.shimCode.empty() && !nativeAdd(native, conversion.shimCode, error)) {
        check.loaded = false;
        check.loadError = std::string(kShimModule) + ": " + error;
    }
    if (check.loaded && !prelude.empty() && !nativeAdd(native, prelude, error)) {
        check.loaded = false;
        check.loadError = "the prelude: " + error;
    }
    for (const ConvertedModule& m : conversion.modules) {
        if (!check.loaded)
            break;
        if (!nativeAdd(native, m.code, error)) {
            check.loaded = false;
            check.loadError = m.name + ": " + error;
        }
    }
    if (stopped()) {
        check.loaded = false;
        check.loadError = kStoppedMessage;
    }
    const auto unfinished = [&] {
        for (std::size_t i = check.expressions.size(); i < expressions.size(); ++i)
            check.expressions.push_back({expressions[i], "error: " + std::string(kStoppedMessage),
                                         "error: " + std::string(kStoppedMessage), false});
        return check;
    };
    if (check.stopped)
        return unfinished();
    if (expressions.empty())
        return check;

    chakra.New();
    check.originalLoaded = chakra.AddCode(engine::jsonSupportScript());
    if (check.originalLoaded && !prelude.empty() && !chakra.AddCode(prelude)) {
        check.originalLoaded = false;
        check.originalError = "the prelude: " + chakraError(chakra);
    }
    for (const SourceModule& m : original) {
        if (!check.originalLoaded)
            break;
        if (!chakra.AddCode(m.code)) {
            check.originalLoaded = false;
            check.originalError = m.name + ": " + chakraError(chakra);
        }
    }
    for (const std::string& expression : expressions) {
        if (stopped())
            break;
        CheckedExpression e;
        e.expression = expression;
        if (check.originalLoaded) {
            e.original = chakra.Eval(engine::describedValueScript(expression));
            const engine::ChakraException thrown = chakra.TakeException();
            if (thrown.thrown)
                e.original = "error: " + thrown.exception;
        } else {
            e.original = "error: not loaded";
        }
        if (check.loaded) {
            const engine::Value v = native.Eval(engine::describedValueScript(expression));
            error = nativeError(native);
            e.converted = error.empty() ? v.text() : "error: " + error;
        } else {
            e.converted = "error: not loaded";
        }
        e.agree = e.original == e.converted && e.original.rfind("error: ", 0) != 0;
        if (stopped())
            break;
        check.expressions.push_back(std::move(e));
    }
    return check.stopped ? unfinished() : check;
}

std::vector<std::string> checkLines(const RunCheck& check) {
    std::vector<std::string> lines;
    if (check.stopped && check.loadError == kStoppedMessage)
        lines.push_back("检查已停止：the converted code was not run to the end");
    else
        lines.push_back(check.loaded ? "加载成功：the converted code loads in the native engine"
                                     : "加载失败：" + check.loadError);
    if (!check.expressions.empty() && !check.originalLoaded)
        lines.push_back("the original did not load in ChakraCore: " + check.originalError);
    for (const CheckedExpression& e : check.expressions) {
        if (e.agree)
            lines.push_back("一致 " + e.expression + " = " + e.original);
        else
            lines.push_back("不一致 " + e.expression + ": original " + e.original + ", converted " + e.converted);
    }
    return lines;
}

}  // namespace quillbox::convert
