#include "core/session/SessionStore.h"

#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "core/platform/FileIO.h"
#include "core/platform/Page.h"
#include "core/project/ProjectStore.h"
#include "core/platform/FsPath.h"

namespace quillbox::session {

// Turns snapshots into the file, on its own thread or within submit(). Only the newest
// snapshot matters: one handed in while another waits replaces it.
class SessionWriter {
public:
    SessionWriter(std::string path, bool background) : path_(std::move(path)) {
        if (background)
            thread_ = std::thread([this] { run(); });
    }

    ~SessionWriter() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

    void submit(std::shared_ptr<const Snapshot> snapshot) {
        if (!thread_.joinable()) {
            store(*snapshot);
            return;
        }
        {
            std::lock_guard lock(mutex_);
            waiting_ = std::move(snapshot);
        }
        wake_.notify_all();
    }

    bool waitForDisk() {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return !waiting_ && !busy_; });
        return error_.empty();
    }

    int writes() const {
        std::lock_guard lock(mutex_);
        return writes_;
    }

    std::string error() const {
        std::lock_guard lock(mutex_);
        return error_;
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return waiting_ || stopping_; });
            if (!waiting_)
                return;  // stopping with nothing left to write
            std::shared_ptr<const Snapshot> snapshot = std::move(waiting_);
            waiting_.reset();
            busy_ = true;
            lock.unlock();
            store(*snapshot);
            lock.lock();
            busy_ = false;
            idle_.notify_all();
        }
    }

    void store(const Snapshot& snapshot) {
        const std::string text = snapshotText(snapshot);
        std::error_code ec;
        std::filesystem::create_directories(files::fsPath(path_).parent_path(), ec);
        std::string error;
        const bool ok = files::writeAtomically(path_, text, &error);
        std::lock_guard lock(mutex_);
        ++writes_;
        error_ = ok ? std::string() : (error.empty() ? std::string("write failed") : error);
    }

    const std::string path_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::shared_ptr<const Snapshot> waiting_;
    bool busy_ = false;
    bool stopping_ = false;
    int writes_ = 0;
    std::string error_;
    std::thread thread_;
};

namespace {

bool sameSnapshot(const Snapshot& a, const Snapshot& b) {
    if (a.clean != b.clean || a.currentProject != b.currentProject || a.currentModule != b.currentModule ||
        a.projects.size() != b.projects.size())
        return false;
    for (std::size_t p = 0; p < a.projects.size(); ++p) {
        const SnapshotProject& x = a.projects[p];
        const SnapshotProject& y = b.projects[p];
        if (x.name != y.name || x.modules.size() != y.modules.size())
            return false;
        for (std::size_t m = 0; m < x.modules.size(); ++m) {
            const SnapshotModule& u = x.modules[m];
            const SnapshotModule& v = y.modules[m];
            if (u.name != v.name || (u.code != v.code && *u.code != *v.code))
                return false;
        }
    }
    return true;
}

}  // namespace

SessionStore::SessionStore(ProjectStore& store, SessionStoreOptions options)
    : store_(store),
      options_(std::move(options)),
      writer_(std::make_unique<SessionWriter>(options_.path, options_.background)) {}

SessionStore::~SessionStore() { writer_.reset(); }

SessionStore::Layout SessionStore::layout() const {
    // Pages by project and module, in page order. A module name may repeat in a project
    // (rename does not refuse it); the n-th such module then gets the n-th such page.
    std::map<std::pair<std::string, std::string>, std::vector<Page*>> pages;
    for (int i = 1; i <= store_.pageCount(); ++i)
        pages[{store_.projectOfPage(i), store_.moduleOfPage(i)}].push_back(store_.page(i));

    Layout now;
    now.projects = store_.projectNames();
    for (const std::string& project : now.projects) {
        for (const std::string& module : store_.moduleNames(project)) {
            std::vector<Page*>& candidates = pages[{project, module}];
            Page* page = nullptr;
            if (!candidates.empty()) {
                page = candidates.front();
                candidates.erase(candidates.begin());
            }
            now.places.push_back(Place{project, module, page});
        }
        // A page the document does not list still holds code: keep it with its project.
        for (auto& [key, rest] : pages) {
            if (key.first != project)
                continue;
            for (Page* page : rest)
                now.places.push_back(Place{project, key.second, page});
            rest.clear();
        }
    }
    const int current = store_.currentPagePosition();
    if (current != 0) {
        now.currentProject = store_.projectOfPage(current);
        now.currentModule = store_.moduleOfPage(current);
    }
    return now;
}

bool SessionStore::differsFromSeen(const Layout& now) const {
    if (now.currentProject != seen_.currentProject || now.currentModule != seen_.currentModule ||
        now.projects != seen_.projects || now.places.size() != seen_.places.size())
        return true;
    for (std::size_t i = 0; i < now.places.size(); ++i) {
        const Place& a = now.places[i];
        const Place& b = seen_.places[i];
        if (a.page != b.page || a.project != b.project || a.module != b.module)
            return true;
        if (a.page && a.page->revision() != seenRevisions_[i])
            return true;
    }
    return false;
}

void SessionStore::remember(const Layout& now) {
    seen_ = now;
    seenRevisions_.clear();
    for (const Place& place : now.places)
        seenRevisions_.push_back(place.page ? place.page->revision() : 0);
}

void SessionStore::poll() {
    reportProblems();
    // A failed write is tried again, as if something had changed.
    if (problemReported_ && !pendingSince_)
        pendingSince_ = options_.now();
    const Layout now = layout();
    if (differsFromSeen(now)) {
        remember(now);
        if (!pendingSince_)
            pendingSince_ = options_.now();
    }
    if (pendingSince_ && options_.now() - *pendingSince_ >= options_.delay)
        write(false);
}

void SessionStore::saveNow() { write(false); }

bool SessionStore::finish() {
    write(true);
    return writer_->waitForDisk();
}

bool SessionStore::waitForDisk() { return writer_->waitForDisk(); }

int SessionStore::writeCount() const { return writer_->writes(); }

std::string SessionStore::lastError() const { return writer_->error(); }

void SessionStore::write(bool clean) {
    const Layout now = layout();
    remember(now);
    pendingSince_.reset();

    auto snapshot = std::make_shared<Snapshot>();
    snapshot->clean = clean;
    snapshot->currentProject = now.currentProject;
    snapshot->currentModule = now.currentModule;
    std::unordered_map<const Page*, Kept> kept;
    bool complete = true;
    std::size_t place = 0;
    for (const std::string& project : now.projects) {
        SnapshotProject& entry = snapshot->projects.emplace_back(SnapshotProject{project, {}});
        for (; place < now.places.size() && now.places[place].project == project; ++place) {
            Page* page = now.places[place].page;
            SharedText text = page ? textOf(*page, kept, complete) : std::make_shared<const std::string>();
            if (!text) {
                pendingSince_ = options_.now();
                return;
            }
            entry.modules.push_back(SnapshotModule{now.places[place].module, std::move(text)});
        }
    }
    kept_ = std::move(kept);
    if (!complete)
        pendingSince_ = options_.now();

    if (last_ && sameSnapshot(*last_, *snapshot) && writer_->error().empty())
        return;
    last_ = snapshot;
    writer_->submit(std::move(snapshot));
}

SharedText SessionStore::textOf(Page& page, std::unordered_map<const Page*, Kept>& kept, bool& complete) {
    const std::uint64_t revision = page.revision();
    auto old = kept_.find(&page);
    if (old != kept_.end() && old->second.revision == revision) {
        kept[&page] = old->second;
        return old->second.text;
    }
    std::string fresh;
    if (!page.readText(fresh)) {
        // A page that does not answer is never taken for an empty module: its last text
        // stands (read again next time), or, without one, nothing is written this time.
        complete = false;
        if (old == kept_.end())
            return nullptr;
        kept[&page] = old->second;
        return old->second.text;
    }
    // The same text under a new number (an edit undone) keeps the old copy, so the
    // snapshot still compares equal to the last one.
    SharedText text = old != kept_.end() && *old->second.text == fresh
                          ? old->second.text
                          : std::make_shared<const std::string>(std::move(fresh));
    kept[&page] = Kept{revision, text};
    return text;
}

void SessionStore::reportProblems() {
    const std::string error = writer_->error();
    if (error.empty() == !problemReported_)
        return;
    problemReported_ = !error.empty();
    if (onWriteProblem)
        onWriteProblem(error);
}

}  // namespace quillbox::session
