#include "core/crash/CrashReport.h"

#include <cstring>

namespace quillbox::crash {

ReportBuffer::ReportBuffer(char* storage, std::size_t capacity) : storage_(storage), capacity_(capacity) {
    clear();
}

void ReportBuffer::clear() {
    size_ = 0;
    if (capacity_ > 0)
        storage_[0] = '\0';
}

void ReportBuffer::text(const char* s, std::size_t length) {
    if (capacity_ == 0)
        return;
    const std::size_t room = capacity_ - 1 - size_;
    const std::size_t n = length < room ? length : room;
    std::memcpy(storage_ + size_, s, n);
    size_ += n;
    storage_[size_] = '\0';
}

void ReportBuffer::text(const char* s) { text(s, std::strlen(s)); }

void ReportBuffer::character(char c) { text(&c, 1); }

void ReportBuffer::hex(std::uint64_t value, int digits) {
    char reversed[16];
    int n = 0;
    do {
        reversed[n++] = "0123456789ABCDEF"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    for (int i = n; i < digits; ++i)
        character('0');
    while (n > 0)
        character(reversed[--n]);
}

void ReportBuffer::decimal(std::uint64_t value) {
    char reversed[20];
    int n = 0;
    do {
        reversed[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0)
        character(reversed[--n]);
}

// ---- what kind of fault -------------------------------------------------------------

namespace {

bool isPrefix(unsigned char b) {
    return b == 0x66 || b == 0x67 || b == 0xF0 || b == 0xF2 || b == 0xF3 || b == 0x2E || b == 0x36 ||
           b == 0x3E || b == 0x26 || b == 0x64 || b == 0x65 || (b >= 0x40 && b <= 0x4F);
}

}  // namespace

bool isPrivilegedInstruction(const unsigned char* bytes, std::size_t length) {
    std::size_t i = 0;
    while (i < length && i < 15 && isPrefix(bytes[i]))
        ++i;
    if (i >= length)
        return false;
    const unsigned char op = bytes[i];
    switch (op) {
    case 0xF4:  // hlt
    case 0xFA:  // cli
    case 0xFB:  // sti
    case 0xE4: case 0xE5: case 0xE6: case 0xE7:  // in/out with an immediate port
    case 0xEC: case 0xED: case 0xEE: case 0xEF:  // in/out through dx
    case 0x6C: case 0x6D: case 0x6E: case 0x6F:  // ins/outs
        return true;
    case 0x0F:
        break;
    default:
        return false;
    }
    if (i + 1 >= length)
        return false;
    const unsigned char op2 = bytes[i + 1];
    switch (op2) {
    case 0x06:  // clts
    case 0x07:  // sysret
    case 0x08:  // invd
    case 0x09:  // wbinvd
    case 0x20: case 0x21: case 0x22: case 0x23:  // mov to and from control and debug registers
    case 0x30:  // wrmsr
    case 0x32:  // rdmsr
    case 0x35:  // sysexit
        return true;
    case 0x00:
    case 0x01: {
        if (i + 2 >= length)
            return false;
        const int reg = (bytes[i + 2] >> 3) & 7;
        if (op2 == 0x00)
            return reg == 2 || reg == 3;  // lldt, ltr
        return reg == 2 || reg == 3 || reg == 6 || reg == 7 || bytes[i + 2] == 0xF8;  // lgdt, lidt, lmsw, invlpg, swapgs
    }
    default:
        return false;
    }
}

// ---- the text -----------------------------------------------------------------------

namespace {

bool startsWith(const char* s, const char* prefix) { return std::strncmp(s, prefix, std::strlen(prefix)) == 0; }

// The C library and the loader stand between the program and the kernel in every fault;
// their frames say nothing about the program.
bool isSystemModule(const char* name) { return startsWith(name, "libc.so") || startsWith(name, "ld-linux"); }

bool isMemoryFault(FaultKind kind) { return kind == FaultKind::MemoryRead || kind == FaultKind::MemoryWrite; }

void kindLine(const Fault& fault, ReportBuffer& out) {
    switch (fault.kind) {
    case FaultKind::MemoryRead: out.text("错误信息:内存读取异常"); break;
    case FaultKind::MemoryWrite: out.text("错误信息:内存写入异常"); break;
    case FaultKind::StackOverflow: out.text("错误信息:线程堆栈溢出异常"); break;
    case FaultKind::DivideByZero: out.text("错误信息:非法除0异常"); break;
    case FaultKind::IllegalInstruction: out.text("错误信息:非法CPU指令"); break;
    case FaultKind::PrivilegedInstruction: out.text("错误信息:无法执行Ring0指令"); break;
    case FaultKind::Breakpoint: out.text("错误信息:int3调试中断"); break;
    case FaultKind::UncaughtException: out.text("错误信息:执行Virtual C++ throw()指令"); break;
    case FaultKind::Other:
        out.text("错误代码:");
        out.number(static_cast<std::uint32_t>(fault.signal));
        break;
    }
    out.lineEnd();
}

void modulePosition(const ModuleSpot& spot, std::uintptr_t address, ReportBuffer& out) {
    out.character('[');
    out.text(spot.name);
    out.text("].");
    out.number(address - spot.base);
}

// A return address belongs to the call just before it: look it up one byte back, so a
// call at the very end of a function is not put into the next one.
bool locateFrame(const Fault& fault, int i, ModuleSpot& spot) {
    const std::uintptr_t a = fault.frames[i];
    return locate(i == 0 ? a : a - 1, spot);
}

void callStack(const Fault& fault, ReportBuffer& out) {
    bool heading = false;
    int depth = 0;
    for (int i = 0; i < fault.frameCount; ++i) {
        ModuleSpot spot;
        const bool known = locateFrame(fault, i, spot);
        if (known && isSystemModule(spot.name))
            continue;
        if (!heading) {
            out.text("CallStack:\r\n");
            heading = true;
        }
        ++depth;
        for (int s = 0; s < depth; ++s)
            out.character(' ');
        const std::uintptr_t a = fault.frames[i];
        if (!known) {
            out.address(a);
            out.lineEnd();
            continue;
        }
        modulePosition(spot, a, out);
        if (spot.symbol != nullptr) {
            out.character(' ');
            out.text(spot.symbol);
            out.text("+0x");
            out.hex(a - spot.symbolAddress, 1);
        }
        out.lineEnd();
    }
}

void attachedLines(const Attachment& attachment, ReportBuffer& out) {
    const char* p = attachment.lines;
    const char* end = p + attachment.length;
    while (end > p && end[-1] == '\n')
        --end;
    if (p == nullptr || p == end)
        return;
    out.text("\r\n附属信息：");
    const bool several = std::memchr(p, '\n', static_cast<std::size_t>(end - p)) != nullptr;
    if (several)
        out.lineEnd();
    while (p < end) {
        const char* next = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (next == nullptr)
            next = end;
        out.text(p, static_cast<std::size_t>(next - p));
        out.lineEnd();
        p = next + 1;
    }
}

}  // namespace

void formatReport(const Fault& fault, const Attachment& attachment, const ImageRange& executable,
                  ReportBuffer& out) {
    if (fault.kind != FaultKind::StackOverflow) {
        out.text("警告:程序发生错误");
        out.lineEnd();
    }
    kindLine(fault, out);
    if (isMemoryFault(fault.kind)) {
        out.text("目标地址:");
        out.address(fault.targetAddress);
        out.lineEnd();
    }
    out.text("发生位置:");
    out.address(fault.address);
    out.lineEnd();
    ModuleSpot spot;
    if (locate(fault.address, spot)) {
        out.text("相对地址:");
        modulePosition(spot, fault.address, out);
        out.lineEnd();
    }
    for (int i = 1; i < fault.frameCount; ++i) {
        if (executable.contains(fault.frames[i])) {
            out.text("分析位置:");
            out.address(fault.frames[i]);
            out.lineEnd();
            break;
        }
    }
    if (!isMemoryFault(fault.kind)) {
        for (int i = 0; i < fault.parameterCount; ++i) {
            out.text("错误参数");
            out.decimal(static_cast<std::uint64_t>(i + 1));
            out.character(':');
            if (fault.parameters[i].isAddress)
                out.address(static_cast<std::uintptr_t>(fault.parameters[i].value));
            else
                out.number(fault.parameters[i].value);
            out.lineEnd();
        }
    }
    callStack(fault, out);
    attachedLines(attachment, out);
}

}  // namespace quillbox::crash
