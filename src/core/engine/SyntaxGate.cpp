#include "core/engine/SyntaxGate.h"

#include "core/engine/ChakraCore.h"
#include "core/json/JsonDocument.h"
#include "core/platform/Assets.h"

namespace quillbox::engine {
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
    if (!loaded_)
        parser_.reset();
    return loaded_;
}

SyntaxVerdict SyntaxGate::check(const std::string& code, SyntaxLevel level) {
    SyntaxVerdict verdict;
    if (!ready()) {
        verdict.kind = SyntaxVerdict::Kind::Unavailable;
        return verdict;
    }
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

}  // namespace quillbox::engine
