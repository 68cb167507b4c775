#pragma once
// The project store: the three structures that hold the user's projects, kept in step.
//
// - the project document: one member per project, in order, each {"js": [module names]};
// - the project tree: project nodes, their module nodes with the groups "方法"/"属性";
// - the page list: one editor page per module, the only holder of the module's code.
//
// Every page remembers the project and module it belongs to. Page names are still
// project + "_" + module + ".js" (the editor and the engines show them), but nothing is
// ever derived back from a page name: a project named a_b, or a project a with a module
// b_c next to a project a_b with a module c, stays reachable.
//
// All user dialogue goes through the Dialogs port; pages come from the page factory, so
// the desktop makes editor pages and the command line and tests make memory pages.
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/json/JsonDocument.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Page.h"
#include "core/project/ProjectFile.h"
#include "core/project/ProjectTree.h"

namespace quillbox {

// Makes a page with this name holding this code, not yet visible; nullptr on failure.
// The code is handed over by value so a large module is moved, not copied.
using PageFactory = std::function<std::unique_ptr<Page>(const std::string& pageName, std::string code)>;

// Tree images of the node kinds.
namespace node_image {
constexpr int kProject = 1;
constexpr int kModule = 2;
constexpr int kObject = 3;
constexpr int kFunction = 4;
constexpr int kGroup = 5;
constexpr int kMember = 6;
}  // namespace node_image

// How an import ended.
enum class ImportOutcome {
    Imported,      // the project was created (some repeated modules may have been skipped)
    Declined,      // the user said No to importing a file not named .js
    Unreadable,    // the file could not be read (the user was told)
    NoProject,     // the text holds no project (importFile tells the user)
    BadSource,     // "错误的源代码"
    Refused,       // no unique project name was given: "错误的导入操作"
};

// What import does with a file that holds no project.
enum class PlainScript {
    Refuse,    // NoProject: the file is not a project script file
    AsModule,  // a project of one module, both named after the file
};

struct ImportResult {
    ImportOutcome outcome = ImportOutcome::NoProject;
    std::string project;                  // the name the project got
    std::vector<std::string> modules;     // modules created, in order
    std::vector<std::string> skipped;     // module names refused (repeated or blank)
    std::string detail;                   // why the file was unreadable or could not be split
};

class ProjectStore {
public:
    ProjectStore(Dialogs& dialogs, PageFactory pageFactory);
    ~ProjectStore();
    ProjectStore(const ProjectStore&) = delete;
    ProjectStore& operator=(const ProjectStore&) = delete;

    // ---- the three structures -------------------------------------------------------
    const JsonDocument& document() const { return document_; }
    ProjectTree& tree() { return tree_; }
    const ProjectTree& tree() const { return tree_; }

    // ---- projects and modules (the project document) --------------------------------
    std::vector<std::string> projectNames() const;
    bool hasProject(const std::string& project) const;
    // Path of a project's module array in the document, with the name escaped.
    static std::string modulesPath(const std::string& project);
    std::vector<std::string> moduleNames(const std::string& project) const;
    std::size_t moduleCount(const std::string& project) const;
    bool hasModule(const std::string& project, const std::string& module) const;
    // The module's node under its project's node; kNoNode when there is none.
    NodeId moduleNode(const std::string& project, const std::string& module) const;
    // A name that is empty or only spaces (ASCII white space or U+3000) names nothing:
    // such project and module names are refused wherever a name enters.
    static bool isBlankName(const std::string& name);

    // ---- pages (positions are 1-based, 0 is none) -----------------------------------
    static std::string pageName(const std::string& project, const std::string& module);
    int pageCount() const { return static_cast<int>(pages_.size()); }
    Page* page(int position) const;
    std::string projectOfPage(int position) const;
    std::string moduleOfPage(int position) const;
    // The first page of this project's module.
    int findPage(const std::string& project, const std::string& module) const;
    // The first visible page; 0 when there is none.
    int currentPagePosition() const;
    Page* currentPage() const { return page(currentPagePosition()); }
    // The project of the current page; "" when there is no current page.
    std::string currentProject() const;
    // Hides every page, then shows page n when it exists; onPageShown tells the window.
    void showPage(int position);

    // ---- cores shared with import and the module library ----------------------------
    // A project node, a document member {"js": []}, a layout refresh; returns the node.
    NodeId addProjectCore(const std::string& project);
    // Adds a module to the project of the selected node (a project node or one of its
    // modules). Warns and returns kNoNode when nothing fitting is selected, or the name is
    // blank or taken in that project.
    NodeId addModuleCore(const std::string& module, std::string code);
    // Removes the page, asking first when it holds code. False when the user said No.
    bool removePageCore(int position);

    // ---- the user's commands ----------------------------------------------------------
    void addProject();
    // Asks once when any of the project's modules holds code ("项目[p]中还有代码(共N个模块),
    // 确定删除吗？"); Yes removes the project with all its modules and pages, No changes nothing.
    void deleteProject();
    void addModule();
    void deleteModule();
    // Deletes several modules (other nodes among them are left alone): one question when any
    // of them holds code, naming them and how many, then all of them go or none. One module
    // is deleteModule() of it.
    void deleteModules(const std::vector<NodeId>& nodes);
    void renameModule();
    void moveModuleUp();
    void moveModuleDown();
    // The tree's selection changed to this node (the desktop forwards clicks here).
    void selectNode(NodeId node);

    // ---- project script files ---------------------------------------------------------
    // The file text (UTF-8) of a project as export writes it.
    std::string exportText(const std::string& project) const;
    // The project's modules with their code as export writes them, in document order; each
    // knows whether its page is the last page.
    std::vector<project_file::ExportedModule> exportModules(const std::string& project) const;
    // The bytes export writes: exportText in GB18030.
    std::string exportBytes(const std::string& project) const;
    struct CheckedExport {
        std::string bytes;       // the file, when it imports back as the same project
        std::string unstorable;  // else why not: "模块[name]..." naming the module
        bool ok() const { return unstorable.empty(); }
    };
    // The bytes export writes, checked first: they must import back as this project with
    // the same modules in order, each with its code followed only by the line breaks the
    // format adds. A name or code the format cannot hold (a module named "end game", code
    // holding an exported project) makes it refuse instead.
    CheckedExport checkedExportBytes(const std::string& project) const;
    // Asks where (the last path, else a save dialog) and writes the file atomically.
    // True when a file was written.
    bool exportProject(const std::string& project);
    bool exportCurrentProject();
    // The crash handler's one chance to save: a notice, then export of the current project.
    // True when a file was written.
    bool crashSavePoint();
    // Import of a file: a dropped file, or one named on the command line. With
    // PlainScript::AsModule a JavaScript file that holds no project becomes a project of
    // one module named after the file, as the window's drop and the command line take
    // it. Says so when the file cannot be read or yields no project.
    ImportResult importFile(const std::string& path, PlainScript plain = PlainScript::Refuse);
    // Import of bytes already read from `path` (decoded by the reading rule). Bytes that
    // hold no project give NoProject without a word under PlainScript::Refuse, so that
    // callers can treat them otherwise.
    ImportResult importBytes(const std::string& bytes, PlainScript plain = PlainScript::Refuse,
                             const std::string& path = "");
    // The project a plain script file becomes: its name without directory and final ".js"
    // (a file named just ".js" keeps it).
    static std::string projectNameForFile(const std::string& path);
    // After an import: selects the imported project's first module and shows its page, so
    // that the next load runs it. False when the project has no module.
    bool showFirstModule(const std::string& project);
    const std::string& lastExportPath() const { return lastExportPath_; }
    void setLastExportPath(const std::string& path) { lastExportPath_ = path; }

    // ---- hooks for the desktop --------------------------------------------------------
    // The window lays itself out again (the old "widen by one pixel" trick).
    std::function<void()> onLayoutRefresh;
    // The page list changed (a page was added or removed): lay the pages out again.
    std::function<void()> onPagesChanged;
    // A module was selected: its page name, for the title line.
    std::function<void(const std::string& pageName)> onPageSelected;
    // The shown page changed, whoever changed it (a selection, a removal that shows page
    // 1, a load error): its position, 0 when no page is shown. The window keeps its
    // title and tree selection with it (titleText, moduleNode).
    std::function<void(int position)> onPageShown;

    // The title line shown when a page is selected.
    static std::string titleText(const std::string& pageName);

private:
    struct PageEntry {
        std::unique_ptr<Page> page;
        std::string project;
        std::string module;
    };

    void warn(const std::string& text);
    void refreshLayout();
    // The project node of the selection: the node itself for a project, its parent for a
    // module; kNoNode otherwise.
    NodeId selectedProjectNode() const;
    // Index in the project's module array of the first element equal to module; -1 if none.
    int moduleIndex(const std::string& project, const std::string& module) const;
    static std::string moduleOfNodeText(const std::string& nodeText);
    ImportResult importText(std::string text, PlainScript plain, const std::string& path);
    // Makes the project (asking for a new name while the name is taken) and its modules.
    ImportResult createImported(std::string name, const std::vector<std::string>& modules,
                                std::vector<std::string>& codes);
    // The module names of each project, kept with the document so that adding a module
    // need not read the whole list.
    void forgetModule(const std::string& project, const std::string& module);
    // Closes and drops the pages at these 0-based indexes (in increasing order) in one pass,
    // then shows page 1.
    void removePages(const std::vector<std::size_t>& indexes);

    Dialogs& dialogs_;
    PageFactory pageFactory_;
    JsonDocument document_;
    ProjectTree tree_;
    std::vector<PageEntry> pages_;
    std::map<std::string, std::set<std::string>> modulesOf_;
    std::string lastExportPath_;
};

}  // namespace quillbox
