#pragma once
// A project store of in-memory pages, alone or with both engines and the loader over them, for
// the tests of loading, listing, evaluation, the syntax gate and the browser test page.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/editor/MemoryPage.h"
#include "core/engine/CodeLoader.h"
#include "core/platform/Dialogs.h"

namespace quillbox::test {

// A project store whose pages hold their code in memory.
class MemoryStoreFixture : public ::testing::Test {
protected:
    MemoryStoreFixture()
        : store(dialogs, [](const std::string& name, std::string code) -> std::unique_ptr<Page> {
              return std::make_unique<MemoryPage>(name, code);
          }) {}

    // Adds the project with its modules in order and shows its first module.
    void addProject(const std::string& project, const std::vector<std::pair<std::string, std::string>>& modules) {
        const NodeId node = store.addProjectCore(project);
        for (const auto& [name, code] : modules) {
            store.tree().select(node);
            ASSERT_NE(store.addModuleCore(name, code), kNoNode);
        }
        store.showPage(store.findPage(project, modules.front().first));
    }

    ScriptedDialogs dialogs;
    ProjectStore store;
};

// The same store with both engines and the loader over it.
class LoaderFixture : public MemoryStoreFixture {
protected:
    LoaderFixture() : loader(store, output, native, chakra) {}

    RecordingOutput output;
    engine::JScript native;
    engine::ChakraCore chakra;
    engine::CodeLoader loader;
};

}  // namespace quillbox::test
