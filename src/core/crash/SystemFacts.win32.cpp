// The module an address lies in, from the system's loader, and for the program itself the
// function, from the COFF symbol table the linker leaves in the .exe. (Faults are classified
// by the handler from the exception's code: there are no signals to read.)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>

#include "core/crash/CrashReport.h"

namespace quillbox::crash {

namespace {
// The last names looked up: the report is written by one thread at a time.
char moduleName[MAX_PATH];
char symbolName[512];

// The .exe's own file, mapped when the first frame is named. The symbol table is not loaded
// with the image; mapping the file reads only the pages the search touches, and takes nothing
// from the heap the crash may have left locked.
const unsigned char* mappedProgram = nullptr;
std::size_t mappedSize = 0;

bool mapProgram() {
    if (mappedProgram)
        return true;
    static bool tried = false;
    if (tried)
        return false;
    tried = true;
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n == MAX_PATH)
        return false;
    const HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    const HANDLE mapping =
        GetFileSizeEx(file, &size) ? CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr) : nullptr;
    CloseHandle(file);
    if (!mapping)
        return false;
    mappedProgram = static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    CloseHandle(mapping);
    mappedSize = mappedProgram ? static_cast<std::size_t>(size.QuadPart) : 0;
    return mappedProgram != nullptr;
}

template <typename T>
bool readAt(std::size_t offset, T& value) {
    if (offset > mappedSize || mappedSize - offset < sizeof(T))
        return false;
    std::memcpy(&value, mappedProgram + offset, sizeof(T));
    return true;
}

// The function of the program's that covers `rva`: the function symbol with the highest
// address at or below it. False when the file has no symbol table (a stripped .exe).
bool functionAt(std::uintptr_t rva, std::uintptr_t& start) {
    if (!mapProgram())
        return false;
    IMAGE_DOS_HEADER dos;
    DWORD signature = 0;
    IMAGE_FILE_HEADER header;
    if (!readAt(0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || !readAt(dos.e_lfanew, signature) ||
        signature != IMAGE_NT_SIGNATURE || !readAt(dos.e_lfanew + 4, header) || header.PointerToSymbolTable == 0)
        return false;
    const std::size_t sections = dos.e_lfanew + 4 + sizeof header + header.SizeOfOptionalHeader;
    const std::size_t symbols = header.PointerToSymbolTable;
    const std::size_t strings = symbols + std::size_t(header.NumberOfSymbols) * IMAGE_SIZEOF_SYMBOL;
    std::size_t best = 0;
    bool found = false;
    for (DWORD i = 0; i < header.NumberOfSymbols; ++i) {
        IMAGE_SYMBOL symbol;
        if (!readAt(symbols + std::size_t(i) * IMAGE_SIZEOF_SYMBOL, symbol))
            return false;
        const DWORD skip = symbol.NumberOfAuxSymbols;
        IMAGE_SECTION_HEADER section;
        if (ISFCN(symbol.Type) && symbol.SectionNumber > 0 &&
            readAt(sections + std::size_t(symbol.SectionNumber - 1) * sizeof section, section)) {
            const std::uintptr_t at = section.VirtualAddress + symbol.Value;
            if (at <= rva && (!found || at > start)) {
                start = at;
                best = i;
                found = true;
            }
        }
        i += skip;
    }
    if (!found)
        return false;
    IMAGE_SYMBOL symbol;
    readAt(symbols + best * IMAGE_SIZEOF_SYMBOL, symbol);
    if (symbol.N.Name.Short != 0) {
        std::memcpy(symbolName, symbol.N.ShortName, 8);
        symbolName[8] = '\0';
    } else {
        std::size_t n = 0;
        for (std::size_t at = strings + symbol.N.Name.Long; at < mappedSize && n + 1 < sizeof symbolName &&
                                                            mappedProgram[at] != 0;
             ++at)
            symbolName[n++] = static_cast<char>(mappedProgram[at]);
        symbolName[n] = '\0';
    }
    return symbolName[0] != '\0';
}
}  // namespace

bool locate(std::uintptr_t address, ModuleSpot& spot) {
    HMODULE module = nullptr;
    if (address == 0 ||
        !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(address), &module) ||
        !module)
        return false;
    const DWORD n = GetModuleFileNameA(module, moduleName, sizeof moduleName);
    if (n == 0)
        return false;
    const char* name = moduleName;
    for (const char* p = moduleName; *p; ++p)
        if (*p == '\\' || *p == '/')
            name = p + 1;
    spot.name = name;
    spot.base = reinterpret_cast<std::uintptr_t>(module);
    spot.symbol = nullptr;
    spot.symbolAddress = 0;
    std::uintptr_t start = 0;
    if (module == GetModuleHandleW(nullptr) && functionAt(address - spot.base, start)) {
        spot.symbol = symbolName;
        spot.symbolAddress = spot.base + start;
    }
    return true;
}

}  // namespace quillbox::crash
