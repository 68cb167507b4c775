// quillbox-cli list: the functions, objects and members each module of a project defines.
#include <iostream>

#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "core/engine/CodeLoader.h"
#include "core/text/Text.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "list";

// Written by hand rather than through JsonDocument, whose writer keeps the program's file
// conventions (raw control characters): this output must be strict JSON for any reader.
std::string stringArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i)
        out += (i ? "," : "") + text::quoteJson(items[i]);
    return out + "]";
}

std::string listingJson(const std::vector<engine::ModuleListing>& listings) {
    std::string out = "[";
    for (std::size_t i = 0; i < listings.size(); ++i) {
        const engine::ModuleListing& listing = listings[i];
        out += i ? ",{" : "{";
        out += "\"module\":" + text::quoteJson(listing.module);
        out += ",\"functions\":" + stringArray(listing.functions);
        out += ",\"objects\":[";
        for (std::size_t k = 0; k < listing.objects.size(); ++k) {
            const engine::ListedObject& object = listing.objects[k];
            out += k ? ",{" : "{";
            out += "\"name\":" + text::quoteJson(object.name) + ",\"members\":" + stringArray(object.members) + "}";
        }
        out += "]}";
    }
    return out + "]\n";
}

int runList(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    engine::EngineKind engineIndex = engine::kChakraEngine;
    const auto onOption = [&](const std::string&, const std::string& value) {
        return parseEngineOption(kName, value, engineIndex);
    };
    if (const int status = parseArguments(kName, args, {{"--engine", true}}, onOption, operands); status != kOk)
        return status;
    if (const int status = requireOneFile(kName, operands); status != kOk)
        return status;
    if (const int status = requireEngine(kName, engineIndex); status != kOk)
        return status;

    CommandProject project;
    if (!project.load(kName, operands[0], true))
        return kFailed;

    // The load's own lines go to standard error; standard output gets only the listing.
    RecordingOutput output(&std::cerr);
    engine::JScript native;
    engine::ChakraCore chakra;
    engine::CodeLoader loader(project.store(), output, native, chakra);
    const bool loaded = loader.load(engineIndex);
    if (!writeOutput(kName, "-", listingJson(loader.listings())))
        return kFailed;
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
