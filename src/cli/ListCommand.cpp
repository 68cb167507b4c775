// quillbox-cli list: the functions, objects and members each module of a project defines.
#include <iostream>
#include <memory>

#include "cli/Command.h"
#include "core/editor/MemoryPage.h"
#include "core/engine/CodeLoader.h"
#include "core/project/ProjectSource.h"
#include "core/json/JsonDocument.h"
#include "core/platform/Dialogs.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "list";

JsonDocument stringArray(const std::vector<std::string>& items) {
    JsonDocument array = JsonDocument::makeArray();
    for (const std::string& item : items)
        array.append("", JsonDocument::makeString(item));
    return array;
}

std::string listingJson(const std::vector<engine::ModuleListing>& listings) {
    JsonDocument all = JsonDocument::makeArray();
    for (const engine::ModuleListing& listing : listings) {
        JsonDocument module = JsonDocument::makeObject();
        module.setMember("", "module", JsonDocument::makeString(listing.module));
        module.setMember("", "functions", stringArray(listing.functions));
        JsonDocument objects = JsonDocument::makeArray();
        for (const engine::ListedObject& object : listing.objects) {
            JsonDocument o = JsonDocument::makeObject();
            o.setMember("", "name", JsonDocument::makeString(object.name));
            o.setMember("", "members", stringArray(object.members));
            objects.append("", o);
        }
        module.setMember("", "objects", objects);
        all.append("", module);
    }
    return all.toJson() + "\n";
}

int runList(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    int engineIndex = engine::kChakraEngine;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded) {
            operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--engine") {
            if (i + 1 >= args.size())
                return usage(kName, "--engine needs a value");
            const std::string& e = args[++i];
            if (e == "native")
                engineIndex = engine::kNativeEngine;
            else if (e == "chakra")
                engineIndex = engine::kChakraEngine;
            else
                return usage(kName, "--engine must be native or chakra, not '" + e + "'");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage(kName, "unknown option '" + arg + "'");
        } else {
            operands.push_back(arg);
        }
    }
    if (operands.size() != 1)
        return usage(kName, operands.empty() ? "FILE is needed" : "only one FILE is taken");
    if (engineIndex == engine::kChakraEngine && !engine::ChakraCore::libraryLoaded())
        return fail(kName, engine::ChakraCore::libraryError());

    std::string bytes;
    if (!readInput(kName, operands[0], bytes))
        return kFailed;
    ScriptedDialogs dialogs;
    ProjectStore store(dialogs, [](const std::string& name, std::string code) {
        return std::make_unique<MemoryPage>(name, code);
    });
    const ProjectSource opened = openProjectSource(store, operands[0], bytes);
    if (!opened.ok)
        return fail(kName, opened.error);

    // The load's own lines go to standard error; standard output gets only the listing.
    RecordingOutput output(&std::cerr);
    engine::JScript native;
    engine::ChakraCore chakra;
    engine::CodeLoader loader(store, output, native, chakra);
    const bool loaded = loader.load(engineIndex);
    if (!writeOutput(kName, "-", listingJson(loader.listings())))
        return fail(kName, "cannot write to standard output");
    return loaded ? kOk : kFailed;
}

const CommandRegistration registration({
    kName,
    "list the functions, objects and members a project defines",
    "Usage: quillbox-cli list FILE [--engine native|chakra]\n"
    "\n"
    "Loads FILE as `quillbox-cli run` does (its lines go to standard error) and prints the\n"
    "listing the project tree shows, as JSON: an array with one object per loaded module, in\n"
    "order: {\"module\": page name, \"functions\": [...], \"objects\": [{\"name\": ..., \"members\": [...]}]}.\n"
    "Each module's listing holds every global defined up to and including that module. An\n"
    "object shows at most 30 members, then the item \"成员过多\".\n"
    "\n"
    "Exit status: 0 when the load succeeded; 1 when it failed (the modules loaded before the\n"
    "failure are still listed); 2 bad usage.\n",
    runList,
});

}  // namespace
}  // namespace quillbox::cli
