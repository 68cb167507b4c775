#include "core/crash/CrashNotes.h"

#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <typeinfo>

#include "core/crash/CrashHandler.h"

namespace quillbox::crash {

namespace {

struct Notes {
    char stages[2][128] = {};
    char exceptionLines[2048] = {};
    char attachment[2560] = {};
};
Notes notes;

std::string demangled(const char* name) {
    int status = 0;
    char* text = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    std::string result = status == 0 && text ? text : name;
    std::free(text);
    return result;
}

}  // namespace

void copyText(char* to, std::size_t capacity, const std::string& from) {
    const std::size_t n = from.size() < capacity - 1 ? from.size() : capacity - 1;
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

void recordStage(const std::string& stage, bool secondLine) {
    if (!secondLine)
        notes.stages[1][0] = '\0';
    copyText(notes.stages[secondLine ? 1 : 0], sizeof notes.stages[0], stage);
}

bool describeCurrentException() {
    const std::exception_ptr current = std::current_exception();
    if (!current)
        return false;
    std::string type;
    std::string message;
    bool hasMessage = false;
    try {
        std::rethrow_exception(current);
    } catch (const std::exception& e) {
        type = demangled(typeid(e).name());
        message = e.what();
        hasMessage = true;
    } catch (...) {
        const std::type_info* t = abi::__cxa_current_exception_type();
        type = t ? demangled(t->name()) : std::string("?");
    }
    std::string lines = "异常类型:" + type + "\n";
    if (hasMessage)
        lines += "异常信息:" + message + "\n";
    copyText(notes.exceptionLines, sizeof notes.exceptionLines, lines);
    return true;
}

Attachment attachedLines() {
    ReportBuffer out(notes.attachment, sizeof notes.attachment);
    for (const char* stage : notes.stages) {
        if (stage[0] == '\0')
            continue;
        out.text(stage);
        out.character('\n');
    }
    out.text(notes.exceptionLines);
    return Attachment{out.data(), out.size()};
}

}  // namespace quillbox::crash
