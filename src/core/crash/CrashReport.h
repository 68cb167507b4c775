#pragma once
// The crash report: what a fault was, where it happened and how the program got there,
// as the text the crash reporter shows. Everything here runs inside a signal handler, so
// it allocates nothing and calls only what is safe there: the text goes into a buffer
// the caller owns, numbers are formatted by hand, modules are found with dladdr.
//
// Layout (every line ends with CR LF):
//   警告:程序发生错误                      (absent for a stack overflow)
//   错误信息:内存写入异常 / 错误代码:00000006 ...
//   目标地址:0000000000000000             (memory faults only)
//   发生位置:<address>
//   相对地址:[module].<offset>            (when the address lies in a module)
//   分析位置:<address>                    (first return address inside the executable)
//   错误参数1:...                          (not for memory faults)
//   CallStack:
//    [module].<offset> symbol+0x1F        (frame i indented by i spaces)
//   (empty line)
//   附属信息：<line>                       (one line after the heading, several below it)
//
// Addresses are written with all their hexadecimal digits (16 on a 64-bit system),
// other numbers as at least eight.
#include <cstddef>
#include <cstdint>

namespace quillbox::crash {

// A text under construction in storage that someone else owns. Text that does not fit
// is cut off; nothing is ever allocated.
class ReportBuffer {
public:
    ReportBuffer(char* storage, std::size_t capacity);
    void text(const char* s);
    void text(const char* s, std::size_t length);
    void character(char c);
    // Upper-case hexadecimal, at least `digits` digits with leading zeros.
    void hex(std::uint64_t value, int digits);
    void address(std::uintptr_t value) { hex(value, static_cast<int>(2 * sizeof value)); }
    void number(std::uint64_t value) { hex(value, 8); }
    void decimal(std::uint64_t value);
    void lineEnd() { text("\r\n"); }
    void clear();
    const char* data() const { return storage_; }
    std::size_t size() const { return size_; }

private:
    char* storage_;
    std::size_t capacity_;
    std::size_t size_ = 0;
};

enum class FaultKind {
    MemoryRead,
    MemoryWrite,
    StackOverflow,
    DivideByZero,
    IllegalInstruction,
    PrivilegedInstruction,
    Breakpoint,
    UncaughtException,
    Other,  // shown as "错误代码:" and the signal number
};

// What the processor and the kernel told about a fault, for classify().
struct SignalFacts {
    int signal = 0;
    int code = 0;                  // si_code
    long trapNumber = -1;          // the processor's trap: 13 general protection, 14 page fault
    unsigned long errorCode = 0;   // the page fault's error code; bit 1 set for a write
    std::uintptr_t faultAddress = 0;
    std::uintptr_t stackPointer = 0;
    // The thread's stack: its lowest usable address and the guard below it (0 unknown).
    std::uintptr_t stackLow = 0;
    std::size_t stackGuard = 0;
    // The first bytes of the faulting instruction, when they could be read.
    const unsigned char* instruction = nullptr;
    std::size_t instructionLength = 0;
};

FaultKind classify(const SignalFacts& facts);

// Whether these bytes begin an instruction that only the kernel may execute.
bool isPrivilegedInstruction(const unsigned char* bytes, std::size_t length);

struct FaultParameter {
    std::uint64_t value = 0;
    bool isAddress = false;
};

struct Fault {
    FaultKind kind = FaultKind::Other;
    int signal = 0;
    std::uintptr_t targetAddress = 0;   // memory faults: the address that was touched
    std::uintptr_t address = 0;         // the faulting instruction, or the throw site
    FaultParameter parameters[4];
    int parameterCount = 0;
    // The call stack from the faulting frame outwards: frames[0] is `address`, the rest
    // are return addresses.
    const std::uintptr_t* frames = nullptr;
    int frameCount = 0;
};

// The lines the report carries besides the fault: start-up stages, the exception's type
// and message. Lines are separated by '\n' in the given text.
struct Attachment {
    const char* lines = nullptr;
    std::size_t length = 0;
};

// Where the executable itself lies in memory (for the analysis position).
struct ImageRange {
    std::uintptr_t low = 0;
    std::uintptr_t high = 0;
    bool contains(std::uintptr_t a) const { return a >= low && a < high; }
};

// Builds the whole text the reporter shows: the report, "CallStack:" with the frames,
// and "附属信息：" with the attached lines.
void formatReport(const Fault& fault, const Attachment& attachment, const ImageRange& executable,
                  ReportBuffer& out);

// The module an address lies in: its file name (no directory) and base; false when the
// address lies in none.
struct ModuleSpot {
    const char* name = nullptr;
    std::uintptr_t base = 0;
    const char* symbol = nullptr;
    std::uintptr_t symbolAddress = 0;
};
bool locate(std::uintptr_t address, ModuleSpot& spot);

}  // namespace quillbox::crash
