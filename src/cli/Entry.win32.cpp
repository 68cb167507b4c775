// The program's entry on Windows: the arguments read as UTF-16 and handed on as UTF-8 (the
// ANSI code page would turn Chinese text into "?"), standard input and output in binary so
// that bytes pass unchanged, and the console told that the program writes UTF-8.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "core/platform/WindowsText.h"

int wmain(int argc, wchar_t** wargv) {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
    // No dialog box for a missing disk or a failing DLL: a command line program says so itself.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    std::vector<std::string> args;
    args.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i)
        args.push_back(quillbox::platform::narrow(wargv[i]));
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return quillbox::cli::runCommandLine(argc, argv.data());
}
