#include "TableChanges.h"

#include <QDir>
#include <QFileInfo>
#include <utility>
#include <vector>

namespace TableChanges {

namespace {

struct Registry {
    std::vector<std::pair<int, Listener>> listeners;
    int next = 0;
};

// Never destroyed: a listener going at the program's end finds it still there.
Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}

QString normalised(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

} // namespace

int addListener(Listener listener) {
    Registry& r = registry();
    const int id = ++r.next;
    r.listeners.emplace_back(id, std::move(listener));
    return id;
}

void removeListener(int id) {
    auto& all = registry().listeners;
    for (auto it = all.begin(); it != all.end(); ++it) {
        if (it->first == id) {
            all.erase(it);
            return;
        }
    }
}

void announce(const QString& databasePath, const QString& table, const void* origin) {
    // A listener may add or remove listeners: call those there were, by id.
    std::vector<int> ids;
    for (const auto& entry : registry().listeners)
        ids.push_back(entry.first);
    for (const int id : ids) {
        for (const auto& entry : registry().listeners) {
            if (entry.first == id) {
                const Listener listener = entry.second;
                listener(databasePath, table, origin);
                break;
            }
        }
    }
}

bool samePath(const QString& a, const QString& b) { return normalised(a) == normalised(b); }

} // namespace TableChanges
