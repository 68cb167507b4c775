#pragma once
// Compress and format: the transform library (JSMin and js-beautify) run on a fresh private
// engine each time (ChakraCore, or a plain Duktape context on Windows without ChakraCore), so
// a transform never disturbs the code loaded for evaluation. And the member-value display for a listed object member.
#include <cstdint>
#include <string>

#include "core/engine/ChakraCore.h"
#include "core/engine/EngineKind.h"
#include "core/engine/JScript.h"
#include "core/platform/Output.h"
#include "core/platform/Page.h"
#include "core/project/ProjectTree.h"

namespace quillbox::transform {

enum class Mode { Compress, Format };

inline constexpr const char* kTransformFailed = "转换失败";
// Written instead of the result when the code changed while the library worked on it.
inline constexpr const char* kTransformStale = "代码在转换期间被修改,转换结果未写入";

struct TransformResult {
    bool ok = false;
    std::string text;   // the transformed text when ok
    std::string error;  // the library's exception text when not
};

// Compress calls ysjs(text), format calls js_beautify(text) with its default options, in the
// engine the build has for it (RunTransform.cpp): ChakraCore; on Windows ChakraCore where its
// JsRT is found, else a plain Duktape context, so that the commands always work there.
TransformResult runTransform(const std::string& text, Mode mode);
// Whether runTransform can run here; when not, `why` says so in the user's terms.
bool transformAvailable(std::string& why);

// The transform in one engine each. They give the same text, byte for byte, for the same
// input; a failure's message is the thrown value's text in both ("Error: Unterminated
// comment."). Each keeps the engines' memory limit.
TransformResult runTransformInChakra(const std::string& text, Mode mode);
TransformResult runTransformInDuktape(const std::string& text, Mode mode);

// The compress and format commands on an editor page. Without a selection spanning lines
// the whole text is transformed and the cursor put at the end; otherwise only the
// selection is replaced. When the library throws, the page keeps its text and the message
// line "转换失败：" and the exception text is written. True when the page was changed.
bool transformPage(Page& page, Mode mode, Output& output);

// The same command in two halves, for a caller that runs the library on another thread: what
// to transform is taken from the page when the command is given, and the result is put back
// only onto the text it was made from. A page edited in between keeps the edit, and
// kTransformStale is written.
struct TransformJob {
    Mode mode = Mode::Format;
    bool whole = true;
    std::string text;
    std::uint64_t revision = 0;
    SelectionRange range;
};
TransformJob takeTransform(Page& page, Mode mode);
bool applyTransform(Page& page, const TransformJob& job, const TransformResult& result, Output& output);

// The member-value display: for the tree's current item when it is a listed object member
// (node value 7), writes the message line "object.member:【JSON text】" from the engine the
// selector names. False when the item is not a member.
bool showMemberValue(const ProjectTree& tree, engine::EngineKind engine, engine::JScript& native, engine::ChakraCore& chakra,
                     Output& output);
// The same for a member named by its object's and its own name.
void showMemberValue(const std::string& object, const std::string& member, engine::EngineKind engine, engine::JScript& native,
                     engine::ChakraCore& chakra, Output& output);

}  // namespace quillbox::transform
