#pragma once
// A project store wired to scripted dialogs and in-memory pages, as the tests use it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/editor/MemoryPage.h"
#include "core/platform/Dialogs.h"
#include "core/project/ProjectStore.h"

namespace quillbox::test {

class StoreFixture : public ::testing::Test {
protected:
    ScriptedDialogs dialogs;
    int layoutRefreshes = 0;
    std::vector<std::string> titles;
    ProjectStore store{dialogs, [](const std::string& name, std::string code) {
                           return std::make_unique<MemoryPage>(name, code);
                       }};

    StoreFixture() {
        store.onLayoutRefresh = [this] { ++layoutRefreshes; };
        store.onPageSelected = [this](const std::string& name) { titles.push_back(name); };
    }

    // Adds a project through its core and selects it.
    NodeId project(const std::string& name) {
        const NodeId node = store.addProjectCore(name);
        store.selectNode(node);
        return node;
    }
    // Adds a module to the project of the selection.
    NodeId module(const std::string& name, const std::string& code = "") {
        return store.addModuleCore(name, code);
    }
    NodeId nodeOf(const std::string& project, const std::string& module = "") const {
        const NodeId p = store.tree().findTopLevel(project);
        if (module.empty())
            return p;
        for (NodeId c : store.tree().children(p))
            if (store.tree().text(c) == module + ".js")
                return c;
        return kNoNode;
    }
    std::vector<std::string> pageNames() const {
        std::vector<std::string> names;
        for (int i = 1; i <= store.pageCount(); ++i)
            names.push_back(store.page(i)->name());
        return names;
    }
    std::vector<std::string> childTexts(NodeId node) const {
        std::vector<std::string> texts;
        for (NodeId c : store.tree().children(node))
            texts.push_back(store.tree().text(c));
        return texts;
    }
    std::string json() const { return store.document().toJson(); }
};

}  // namespace quillbox::test
