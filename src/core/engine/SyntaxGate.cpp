#include "core/engine/SyntaxGate.h"

#include <functional>
#include <string_view>

#include "core/engine/ChakraCore.h"
#include "core/engine/SyntaxScan.h"
#include "core/json/JsonDocument.h"
#include "core/platform/Assets.h"

namespace quillbox::engine {
namespace {
// Enough for the modules of a few projects.
constexpr std::size_t kRememberedVerdicts = 64;
}  // namespace

SyntaxGate::SyntaxGate() = default;
SyntaxGate::~SyntaxGate() = default;

const char* SyntaxGate::engineName(SyntaxLevel level) {
    return level == SyntaxLevel::ChakraCore ? "ChakraCore 1.11" : "JScript 5.7";
}

// The parser is loaded once and kept: acorn's own start-up costs more than checking a module.
bool SyntaxGate::ready() {
    if (loaded_)
        return true;
    if (!ChakraCore::libraryLoaded())
        return false;
    auto gate = assets::find("js/syntax-gate.js");
    if (!gate)
        return false;
    parser_ = std::make_unique<ChakraCore>();
    parser_->New();
    loaded_ = parser_->AddCode(std::string(*gate));
    if (!loaded_) {
        parser_.reset();
        return false;
    }
    quickScanDecides_ =
        parser_->Eval("QB_SYNTAX_DATA.every(function (f) {"
                      " return f.chakra || f.es >= 2018 || f.id === 'rest_parameter_destructuring'; })") == "true";
    return true;
}

SyntaxVerdict SyntaxGate::check(const std::string& code, SyntaxLevel level) {
    std::lock_guard lock(mutex_);
    const std::size_t digest = std::hash<std::string_view>{}(code);
    for (auto it = remembered_.begin(); it != remembered_.end(); ++it) {
        if (it->digest == digest && it->size == code.size() && it->level == level) {
            remembered_.splice(remembered_.begin(), remembered_, it);
            return it->verdict;
        }
    }
    SyntaxVerdict verdict = parse(code, level, true);
    if (verdict.kind == SyntaxVerdict::Kind::Unavailable)
        return verdict;  // nothing was checked: try again next time
    remembered_.push_front({digest, code.size(), level, verdict});
    if (remembered_.size() > kRememberedVerdicts)
        remembered_.pop_back();
    return verdict;
}

SyntaxVerdict SyntaxGate::locateError(const std::string& code) {
    std::lock_guard lock(mutex_);
    return parse(code, SyntaxLevel::ChakraCore, false);
}

SyntaxVerdict SyntaxGate::parse(const std::string& code, SyntaxLevel level, bool quickScan) {
    SyntaxVerdict verdict;
    if (!ready()) {
        verdict.kind = SyntaxVerdict::Kind::Unavailable;
        return verdict;
    }
    if (quickScan && level == SyntaxLevel::ChakraCore && quickScanDecides_ && !mayUseSyntaxAfterEs2017(code))
        return verdict;
    // JScript's language lacks every feature of the table, so code without any passes.
    if (quickScan && level == SyntaxLevel::JScript && !mayUseSyntaxAfterEs3(code))
        return verdict;
    ++parses_;
    const std::string answer =
        parser_->Call("quillboxSyntaxGate", {code, level == SyntaxLevel::ChakraCore ? "chakra" : "jscript"});
    if (answer.empty()) {
        // "" is a pass, unless the gate itself failed (then nothing was checked).
        if (!parser_->TakeException().exception.empty())
            verdict.kind = SyntaxVerdict::Kind::Unavailable;
        return verdict;
    }
    JsonDocument doc;
    if (!doc.parse(answer, true).ok) {
        verdict.kind = SyntaxVerdict::Kind::Unavailable;
        return verdict;
    }
    verdict.line = static_cast<int>(doc.number("line"));
    verdict.column = static_cast<int>(doc.number("column"));
    if (doc.text("kind") == "syntax") {
        verdict.kind = SyntaxVerdict::Kind::SyntaxError;
        verdict.message = doc.text("text");
        return verdict;
    }
    verdict.kind = SyntaxVerdict::Kind::Refused;
    verdict.feature = doc.text("feature");
    verdict.message = doc.text("text") + " 需要 ES" + std::to_string(doc.integer("es")) + ", " +
                      engineName(level) + " 不支持";
    return verdict;
}

std::vector<Symbol> SyntaxGate::symbols(const std::string& code) {
    std::lock_guard lock(mutex_);
    std::vector<Symbol> found;
    if (!ready())
        return found;
    const std::string answer = parser_->Call("quillboxSymbols", {code});
    JsonDocument doc;
    if (answer.empty() || !doc.parse(answer, true).ok || doc.kind() != JsonKind::Array) {
        parser_->TakeException();
        return found;
    }
    for (std::size_t i = 0; i < doc.count(); ++i) {
        const JsonDocument item = doc.at("", i);
        found.push_back({item.text("name"), item.text("kind"), static_cast<int>(item.number("line")),
                         static_cast<int>(item.number("column")), item.text("params")});
    }
    return found;
}

std::string SyntaxGate::watchedCode(const std::string& code) {
    std::lock_guard lock(mutex_);
    if (code.find("eval") == std::string::npos || !ready())
        return {};
    std::string answer = parser_->Call("quillboxWatchSites", {code});
    if (answer.empty())
        parser_->TakeException();
    return answer;
}

}  // namespace quillbox::engine
