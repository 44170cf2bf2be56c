#include "DesktopService.h"

#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QSet>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>

namespace {

// The folders of one XDG kind, most important first: the user's own, then the system's.
QStringList xdgFolders(const char* homeVariable, const QString& homeDefault,
                       const char* dirsVariable, const QString& dirsDefault) {
    QStringList folders;
    const QString home = qEnvironmentVariable(homeVariable);
    folders << (QDir::isAbsolutePath(home) ? home : QDir::home().filePath(homeDefault));
    QString dirs = qEnvironmentVariable(dirsVariable);
    if (dirs.isEmpty())
        dirs = dirsDefault;
    for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(dir))
            folders << dir;
    }
    return folders;
}

// The keys of one group of a desktop entry or a mimeapps.list, the first of a key kept.
QHash<QString, QString> groupIn(const QString& file, const QString& group) {
    QHash<QString, QString> keys;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    bool inGroup = false;
    while (!in.atEnd()) {
        const QString line = QString::fromUtf8(in.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            if (inGroup)
                break;
            inGroup = line.mid(1, line.size() - 2) == group;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inGroup && equals > 0) {
            const QString key = line.left(equals).trimmed();
            if (!keys.contains(key))
                keys.insert(key, line.mid(equals + 1).trimmed());
        }
    }
    return keys;
}

QStringList listValue(const QString& value) {
    QStringList items;
    for (const QString& item : value.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        items << item.trimmed();
    return items;
}

QStringList listFor(const QHash<QString, QString>& group, const QStringList& types) {
    QStringList items;
    for (const QString& type : types)
        items << listValue(group.value(type));
    return items;
}

// Every installed desktop entry's file by its id ("kde/app.desktop" under applications/
// is "kde-app.desktop"), the user's first; an entry of the user's hides the system's of
// the same id.
struct InstalledEntries {
    QHash<QString, QString> files;
    QStringList ids;
};

InstalledEntries installedEntries(const QStringList& dataFolders) {
    InstalledEntries entries;
    for (const QString& folder : dataFolders) {
        const QDir applications(QDir(folder).filePath(QStringLiteral("applications")));
        QDirIterator it(applications.path(), {QStringLiteral("*.desktop")}, QDir::Files,
                        QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
        while (it.hasNext()) {
            const QString file = it.next();
            QString id = applications.relativeFilePath(file);
            id.replace(QLatin1Char('/'), QLatin1Char('-'));
            if (!entries.files.contains(id)) {
                entries.files.insert(id, file);
                entries.ids << id;
            }
        }
    }
    return entries;
}

// An entry the desktop would start: an application that is not hidden, has a command,
// and whose TryExec program is there.
bool canRun(const QHash<QString, QString>& entry) {
    if (entry.value(QStringLiteral("Type")) != QLatin1String("Application") ||
        entry.value(QStringLiteral("Hidden")) == QLatin1String("true") ||
        entry.value(QStringLiteral("Exec")).isEmpty())
        return false;
    const QString tryExec = entry.value(QStringLiteral("TryExec"));
    if (tryExec.isEmpty())
        return true;
    if (QDir::isAbsolutePath(tryExec))
        return QFileInfo(tryExec).isExecutable();
    return !QStandardPaths::findExecutable(tryExec).isEmpty();
}

class SystemDesktopService : public DesktopService {
public:
    explicit SystemDesktopService(std::function<bool(const QUrl&)> launch)
        : m_launch(std::move(launch)) {}
    void openFolder(const QString& folder) override {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    }
    void openTextFile(const QString& path) override {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
    void openUrl(const QString& url) override {
        QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
    }
    // QDesktopServices says true as soon as xdg-open has started, also when xdg-open
    // then finds nothing for the file's type; so the desktop's associations are asked
    // first whether anything would open it.
    bool openDocument(const QString& path) override {
        const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
        if (!type.isValid() || programsForType(type.name(), type.aliases()).isEmpty())
            return false;
        return m_launch(QUrl::fromLocalFile(path));
    }

private:
    std::function<bool(const QUrl&)> m_launch;
};

std::unique_ptr<DesktopService>& installed() {
    static std::unique_ptr<DesktopService> service;
    return service;
}

} // namespace

bool DesktopService::openDocument(const QString& /*path*/) {
    return false;
}

DesktopService& desktopService() {
    if (!installed())
        installed() =
            makeDesktopService([](const QUrl& url) { return QDesktopServices::openUrl(url); });
    return *installed();
}

void setDesktopServiceForTesting(std::unique_ptr<DesktopService> service) {
    installed() = std::move(service);
}

std::unique_ptr<DesktopService> makeDesktopService(std::function<bool(const QUrl&)> launch) {
    return std::make_unique<SystemDesktopService>(std::move(launch));
}

QStringList programsForType(const QString& mimeType, const QStringList& aliases) {
    const QStringList types = QStringList{mimeType} + aliases;
    const QStringList configFolders = xdgFolders("XDG_CONFIG_HOME", QStringLiteral(".config"),
                                                 "XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    const QStringList dataFolders =
        xdgFolders("XDG_DATA_HOME", QStringLiteral(".local/share"), "XDG_DATA_DIRS",
                   QStringLiteral("/usr/local/share:/usr/share"));
    QStringList desktops;
    for (const QString& desktop :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        desktops << desktop.toLower();
    // The lists in the order they count: each folder's desktop-specific ones before its
    // general one, the configuration folders before applications/ of the data folders.
    QStringList lists;
    const auto addLists = [&](const QString& folder) {
        for (const QString& desktop : desktops)
            lists << QDir(folder).filePath(desktop + QStringLiteral("-mimeapps.list"));
        lists << QDir(folder).filePath(QStringLiteral("mimeapps.list"));
    };
    for (const QString& folder : configFolders)
        addLists(folder);
    for (const QString& folder : dataFolders)
        addLists(QDir(folder).filePath(QStringLiteral("applications")));

    const InstalledEntries entries = installedEntries(dataFolders);
    const QString kEntryGroup = QStringLiteral("Desktop Entry");
    QStringList programs;
    QSet<QString> removed;
    const auto wanted = [&](const QString& id) {
        return !programs.contains(id) && !removed.contains(id) && entries.files.contains(id);
    };
    // A removal holds against the associations of the lists that count less, so the
    // lists are read from the one that counts most.
    for (const QString& list : lists) {
        if (!QFileInfo(list).isFile())
            continue;
        for (const QString& group :
             {QStringLiteral("Default Applications"), QStringLiteral("Added Associations")}) {
            for (const QString& id : listFor(groupIn(list, group), types)) {
                if (wanted(id) && canRun(groupIn(entries.files.value(id), kEntryGroup)))
                    programs << id;
            }
        }
        for (const QString& id :
             listFor(groupIn(list, QStringLiteral("Removed Associations")), types))
            removed.insert(id);
    }
    // Then the entries that name the type themselves.
    for (const QString& id : entries.ids) {
        if (!wanted(id))
            continue;
        const QHash<QString, QString> entry = groupIn(entries.files.value(id), kEntryGroup);
        const QStringList handles = listValue(entry.value(QStringLiteral("MimeType")));
        const bool handlesType = std::any_of(types.cbegin(), types.cend(),
                                             [&](const QString& t) { return handles.contains(t); });
        if (handlesType && canRun(entry))
            programs << id;
    }
    return programs;
}
