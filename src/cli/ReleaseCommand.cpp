// quillbox-cli release: the release key and the update server's tree for a release.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "core/online/ReleaseSite.h"
#include "core/online/Signing.h"
#include "core/platform/FileIO.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "release";

// A new key file, readable by its owner only; an existing file is never replaced, since
// losing a release key means no installed program accepts another release.
int keygen(const std::vector<std::string>& operands) {
    if (operands.size() != 2)
        return usage(kName, "keygen takes one KEYFILE");
    const std::string& path = operands[1];
    const online::ReleaseKey key = online::generateReleaseKey();
    std::string error;
    if (!files::createNew(path, key.secretKey + "\n", &error))
        return fail(kName, "cannot create " + error);
    std::cout << key.publicKey << "\n";
    return kOk;
}

int site(const std::vector<std::string>& args) {
    online::ReleasePlan plan;
    std::string keyFile;
    std::vector<std::string> operands;
    const auto onOption = [&](const std::string& option, const std::string& value) {
        if (option == "--key")
            keyFile = value;
        else if (option == "--version")
            plan.version = value;
        else if (option == "--binary")
            plan.binaryPath = value;
        else if (option == "--size")
            plan.size = value;
        else if (option == "--note")
            plan.notes.push_back(value);
        else if (option == "--lib")
            plan.libraryDirectory = value;
        else if (option == "--lib-seq") {
            char* end = nullptr;
            plan.librarySequence = std::strtoll(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || plan.librarySequence <= 0)
                return usage(kName, "--lib-seq takes a whole number above 0");
        } else
            plan.url = value;
        return kOk;
    };
    const std::vector<Option> options = {{"--key", true},  {"--version", true}, {"--binary", true},
                                         {"--size", true}, {"--note", true},    {"--lib", true},
                                         {"--url", true},  {"--lib-seq", true}};
    if (const int status = parseArguments(kName, args, options, onOption, operands); status != kOk)
        return status;
    if (operands.size() != 2)
        return usage(kName, "site takes one OUTDIR");
    if (keyFile.empty() || plan.version.empty() || plan.binaryPath.empty())
        return usage(kName, "site needs --key, --version and --binary");
    plan.outputDirectory = operands[1];
    if (!files::readAll(keyFile, plan.keyText))
        return fail(kName, "cannot read " + keyFile);
    std::string error;
    if (!online::writeReleaseSite(plan, &error))
        return fail(kName, error);
    return kOk;
}

int runRelease(const std::vector<std::string>& args) {
    if (args.empty())
        return usage(kName, "keygen or site is needed");
    if (args[0] == "keygen") {
        std::vector<std::string> operands;
        if (const int status = parseArguments(kName, args, {}, [](auto&, auto&) { return kOk; }, operands);
            status != kOk)
            return status;
        return keygen(operands);
    }
    if (args[0] == "site")
        return site(args);
    return usage(kName, "unknown subcommand '" + args[0] + "'");
}

const CommandRegistration registration({
    kName,
    "make a release key, or the update server's signed tree for a release",
    "Usage: quillbox-cli release keygen KEYFILE\n"
    "       quillbox-cli release site OUTDIR --key KEYFILE --version VER --binary FILE\n"
    "                                 [--size TEXT] [--note TEXT]... [--lib DIR] [--url URL]\n"
    "                                 [--lib-seq N]\n"
    "\n"
    "keygen writes a new Ed25519 release key to KEYFILE (created readable by its owner\n"
    "only; an existing file is never replaced) and prints its public key, the value the\n"
    "program is built with (-DQUILLBOX_UPDATE_PUBLIC_KEY=...).\n"
    "\n"
    "site writes under OUTDIR what the update server serves for release VER:\n"
    "  Quillbox/Quillbox_config.txt      the version file: the release's version, address,\n"
    "                                    size, SHA-256 and notes, signed by the key\n"
    "  Quillbox/download/VER/NAME        the program FILE\n"
    "  Quillbox/lib/lib.json, .sig, ...  the module library of DIR (its lib.json and files;\n"
    "                                    the starter library without --lib), with the\n"
    "                                    files' digests and sizes and a sequence number,\n"
    "                                    the index signed by the key\n"
    "  Quillbox/Quillbox_config_all.txt  the change log, this release's notes put first\n"
    "\n"
    "  --size TEXT  the size shown before the download (default: computed)\n"
    "  --note TEXT  one change note; repeat for more\n"
    "  --url URL    where the program will be served (default: the update server's\n"
    "               /Quillbox/download/VER/NAME)\n"
    "  --lib-seq N  the library's sequence number (default: the time, in seconds since\n"
    "               1970); programs refuse an index numbered below the one they have\n"
    "\n"
    "Exit status: 0 written; 1 a file cannot be read or written, or KEYFILE holds no key;\n"
    "2 bad usage.\n",
    runRelease,
});

}  // namespace
}  // namespace quillbox::cli
