#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace platform {
namespace {
QString& overrideFolder() {
    static QString folder;
    return folder;
}

// An XDG base directory: the variable when it holds an absolute path, else the default
// under HOME.
QString xdgFolder(const char* variable, const QString& homeDefault) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(QDir::homePath() + QLatin1Char('/') + homeDefault);
}

bool isPortableFolder(const QString& folder) {
    const QFileInfo dir(folder);
    return dir.isDir() && dir.isWritable() &&
           QFileInfo(QDir(folder).filePath(QStringLiteral("TARNIX.dvb"))).isFile();
}
} // namespace

QString programFolder() {
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    return QCoreApplication::applicationDirPath();
}

void setProgramFolderForTesting(const QString& folder) {
    overrideFolder() = folder;
}

FileLayout fileLayoutFor(const QString& exeFolder, const QString& dataFolder, qint64 pid) {
    FileLayout layout;
    if (isPortableFolder(exeFolder)) {
        layout.data = layout.settings = layout.work = exeFolder;
        return layout;
    }
    layout.portable = false;
    layout.data = dataFolder;
    layout.settings =
        xdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("/korvel");
    // The runtime folder is the user's own and emptied at log-out; without one the
    // cache folder serves.
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty() || !QDir::isAbsolutePath(base) || !QFileInfo(base).isDir())
        base = xdgFolder("XDG_CACHE_HOME", QStringLiteral(".cache"));
    layout.work = QDir::cleanPath(base) + QStringLiteral("/korvel/viewer-%1").arg(pid);
    return layout;
}

FileLayout fileLayout() {
    if (!overrideFolder().isEmpty()) {
        FileLayout layout;
        layout.data = layout.settings = layout.work = overrideFolder();
        return layout;
    }
    const QString exeFolder = QCoreApplication::applicationDirPath();
    // The data folder lies beside bin under the same prefix, wherever that prefix is.
    const QString data =
        QDir::cleanPath(exeFolder + QStringLiteral("/../" KORVEL_INSTALL_DATA_SUBDIR));
    return fileLayoutFor(exeFolder, data, QCoreApplication::applicationPid());
}

} // namespace platform
