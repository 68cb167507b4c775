// The tree model the desktop draws.
#include <gtest/gtest.h>

#include "core/project/ProjectTree.h"

using namespace quillbox;

namespace {
struct Sample {
    ProjectTree tree;
    NodeId p = tree.add(kNoNode, "p", 1, 1, 1);
    NodeId a = tree.add(p, "a.js", 2, 2, 2);
    NodeId b = tree.add(p, "b.js", 2, 2, 2);
    NodeId c = tree.add(p, "c.js", 2, 2, 2);
    NodeId methods = tree.add(b, "方法", 5, 5, 5);
};
}  // namespace

TEST(ProjectTreeShape, NodesKeepTheirDataAndOrder) {
    Sample s;
    EXPECT_EQ(s.tree.children(s.p), (std::vector<NodeId>{s.a, s.b, s.c}));
    EXPECT_EQ(s.tree.text(s.b), "b.js");
    EXPECT_EQ(s.tree.value(s.methods), 5);
    EXPECT_EQ(s.tree.parent(s.methods), s.b);
    EXPECT_EQ(s.tree.depth(s.p), 1);
    EXPECT_EQ(s.tree.depth(s.methods), 3);
    EXPECT_EQ(s.tree.previousSibling(s.a), kNoNode);
    EXPECT_EQ(s.tree.nextSibling(s.a), s.b);
    EXPECT_EQ(s.tree.nextSibling(s.c), kNoNode);
}

TEST(ProjectTreeShape, AddingUnderAMissingParentFails) {
    ProjectTree tree;
    EXPECT_EQ(tree.add(42, "x", 0, 0, 0), kNoNode);
    EXPECT_TRUE(tree.topLevel().empty());
}

TEST(ProjectTreeShape, RemovingTakesTheSubtreeAndTheSelection) {
    Sample s;
    s.tree.select(s.methods);
    EXPECT_TRUE(s.tree.remove(s.b));
    EXPECT_FALSE(s.tree.exists(s.methods));
    EXPECT_EQ(s.tree.selected(), kNoNode);
    EXPECT_EQ(s.tree.children(s.p), (std::vector<NodeId>{s.a, s.c}));
    EXPECT_FALSE(s.tree.remove(s.b)) << "a stale id resolves to nothing";
    EXPECT_EQ(s.tree.text(s.b), "");
    // New ids never reuse old ones.
    EXPECT_NE(s.tree.add(s.p, "d.js", 2, 2, 2), s.b);
}

TEST(ProjectTreeShape, DeepTreesAreRemovedWithoutRecursion) {
    ProjectTree tree;
    NodeId top = tree.add(kNoNode, "deep", 0, 0, 0);
    NodeId n = top;
    for (int i = 0; i < 200000; ++i)
        n = tree.add(n, "m", 6, 6, 7);
    EXPECT_EQ(tree.findChild("nothing", "m"), kNoNode);
    EXPECT_TRUE(tree.remove(top));
    EXPECT_TRUE(tree.topLevel().empty());
}

TEST(ProjectTreeFind, ChildByParentTextAndChildText) {
    Sample s;
    EXPECT_EQ(s.tree.findChild("b.js", "方法"), s.methods);
    EXPECT_EQ(s.tree.findChild("p", "c.js"), s.c);
    EXPECT_EQ(s.tree.findChild("a.js", "方法"), kNoNode);
    EXPECT_EQ(s.tree.findTopLevel("p"), s.p);
}

TEST(ProjectTreeMove, UpAndDownKeepTheNodeItsChildrenAndTheSelection) {
    Sample s;
    s.tree.select(s.b);
    EXPECT_TRUE(s.tree.moveUp(s.b));
    EXPECT_EQ(s.tree.children(s.p), (std::vector<NodeId>{s.b, s.a, s.c}));
    EXPECT_FALSE(s.tree.moveUp(s.b)) << "already first";
    EXPECT_TRUE(s.tree.moveDown(s.b));
    EXPECT_TRUE(s.tree.moveDown(s.b));
    EXPECT_FALSE(s.tree.moveDown(s.b)) << "already last";
    EXPECT_EQ(s.tree.children(s.p), (std::vector<NodeId>{s.a, s.c, s.b}));
    EXPECT_EQ(s.tree.selected(), s.b);
    EXPECT_EQ(s.tree.children(s.b), std::vector<NodeId>{s.methods});
}

TEST(ProjectTreeObserver, IsToldOfEveryChange) {
    Sample s;
    std::vector<std::pair<TreeEvent, NodeId>> events;
    s.tree.observer = [&](TreeEvent e, NodeId id) { events.emplace_back(e, id); };
    const NodeId d = s.tree.add(s.p, "d.js", 2, 2, 2);
    s.tree.setText(d, "e.js");
    s.tree.moveUp(d);
    s.tree.select(d);
    s.tree.remove(d);
    EXPECT_EQ(events, (std::vector<std::pair<TreeEvent, NodeId>>{{TreeEvent::Added, d},
                                                                 {TreeEvent::Changed, d},
                                                                 {TreeEvent::Moved, d},
                                                                 {TreeEvent::Selected, d},
                                                                 {TreeEvent::Removed, d},
                                                                 {TreeEvent::Selected, kNoNode}}));
}

TEST(ProjectTreeObserver, BulkRemovalsAreToldOnceForAllChildren) {
    Sample s;
    const NodeId f1 = s.tree.add(s.methods, "f1", 4, 4, 3);
    const NodeId f2 = s.tree.add(s.methods, "f2", 4, 4, 3);
    s.tree.add(f2, "member", 6, 6, 7);
    s.tree.select(f2);
    std::vector<std::pair<TreeEvent, NodeId>> events;
    s.tree.observer = [&](TreeEvent e, NodeId id) {
        events.emplace_back(e, id);
        if (e == TreeEvent::ChildrenRemoved) {  // told before the ids die
            EXPECT_TRUE(s.tree.exists(f1) && s.tree.exists(f2));
        }
    };
    s.tree.removeChildren(s.methods);
    EXPECT_EQ(events, (std::vector<std::pair<TreeEvent, NodeId>>{{TreeEvent::ChildrenRemoved, s.methods},
                                                                 {TreeEvent::Selected, kNoNode}}));
    EXPECT_TRUE(s.tree.children(s.methods).empty());
    EXPECT_FALSE(s.tree.exists(f1) || s.tree.exists(f2));
    events.clear();
    s.tree.removeChildren(s.methods);  // nothing to remove: nothing told
    EXPECT_TRUE(events.empty());

    // Several siblings at once: the rest keep their order; strangers and repeats are skipped.
    s.tree.removeSiblings({s.c, s.a, s.methods, s.a, 9999});
    EXPECT_EQ(events, (std::vector<std::pair<TreeEvent, NodeId>>{{TreeEvent::Removed, s.c}, {TreeEvent::Removed, s.a}}));
    EXPECT_EQ(s.tree.children(s.p), std::vector<NodeId>{s.b});
    EXPECT_TRUE(s.tree.exists(s.methods));

    s.tree.clear();
    EXPECT_TRUE(s.tree.topLevel().empty());
    EXPECT_FALSE(s.tree.exists(s.b));
}

// Children made on demand: made once, by whoever first needs them, and never when what they
// belong to goes first.
TEST(ProjectTreeLazy, ChildrenAreMadeOnceWhenFirstNeeded) {
    ProjectTree tree;
    const NodeId root = tree.add(kNoNode, "root", 0, 0, 1);
    const NodeId group = tree.add(root, "group", 0, 0, 5);
    int runs = 0;
    std::vector<TreeEvent> events;
    tree.observer = [&](TreeEvent e, NodeId) { events.push_back(e); };
    tree.setLazyChildren(group, [&](ProjectTree& t, NodeId n) {
        ++runs;
        t.add(n, "a", 0, 0, 3);
        t.add(n, "b", 0, 0, 3);
    });
    EXPECT_TRUE(tree.hasLazyChildren(group));
    EXPECT_EQ(tree.node(group)->children.size(), 0u) << "nothing made yet";
    EXPECT_EQ(runs, 0);
    ASSERT_EQ(tree.children(group).size(), 2u);
    EXPECT_EQ(tree.children(group).size(), 2u);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(tree.hasLazyChildren(group));
    EXPECT_FALSE(tree.fill(group));
    // The view hears of the arrow (Changed), the children, and the arrow again.
    EXPECT_EQ(events, (std::vector<TreeEvent>{TreeEvent::Changed, TreeEvent::Added, TreeEvent::Added,
                                              TreeEvent::Changed}));
    // findChild reaches children still to be made.
    const NodeId other = tree.add(root, "other", 0, 0, 5);
    tree.setLazyChildren(other, [](ProjectTree& t, NodeId n) { t.add(n, "deep", 0, 0, 3); });
    EXPECT_NE(tree.findChild("other", "deep"), kNoNode);
}

TEST(ProjectTreeLazy, RemovedNodesNeverMakeTheirChildren) {
    ProjectTree tree;
    const NodeId root = tree.add(kNoNode, "root", 0, 0, 1);
    const NodeId group = tree.add(root, "group", 0, 0, 5);
    const NodeId gone = tree.add(root, "gone", 0, 0, 5);
    int runs = 0;
    const auto filler = [&](ProjectTree& t, NodeId n) {
        ++runs;
        t.add(n, "x", 0, 0, 3);
    };
    tree.setLazyChildren(group, filler);
    tree.setLazyChildren(gone, filler);
    tree.removeChildren(group);
    EXPECT_FALSE(tree.hasLazyChildren(group));
    EXPECT_TRUE(tree.children(group).empty());
    tree.remove(gone);
    EXPECT_FALSE(tree.fill(gone));
    const NodeId again = tree.add(root, "again", 0, 0, 5);
    tree.setLazyChildren(again, filler);
    tree.clear();
    EXPECT_FALSE(tree.hasLazyChildren(again));
    EXPECT_EQ(runs, 0);
}
