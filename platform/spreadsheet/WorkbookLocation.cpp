#include "platform/spreadsheet/XlsxWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace spreadsheet {

namespace {

// A file name is at most 255 bytes on the usual file systems.
constexpr qsizetype kMaxFileNameBytes = 255;
// "plan (9999).xlsx" is the last name tried: a folder that holds all before it is not
// one to search further, and a folder that says every name is taken would be searched
// for ever.
constexpr int kLastNumber = 9999;

bool isWritableFolder(const QString& folder) {
    if (folder.isEmpty())
        return false;
    const QFileInfo info(folder);
    return info.isDir() &&
           ::access(QFile::encodeName(info.absoluteFilePath()).constData(), W_OK | X_OK) == 0;
}

// Characters no file name can hold here, and those the common desktop and network file
// systems refuse, so that the workbook can be copied anywhere.
bool isUnsafeInFileName(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("/\\:*?\"<>|").contains(c);
}

QString safeBaseName(const QString& baseName) {
    QString name;
    name.reserve(baseName.size());
    for (qsizetype i = 0; i < baseName.size(); ++i) {
        const QChar c = baseName[i];
        if (c.isHighSurrogate() && i + 1 < baseName.size() && baseName[i + 1].isLowSurrogate()) {
            name += c;
            name += baseName[++i];
        } else {
            name += isUnsafeInFileName(c) || c.isSurrogate() ? QChar(u'_') : c;
        }
    }
    name = name.trimmed();
    // A leading dot would hide the workbook from the user's file manager.
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    if (name.isEmpty())
        name = QStringLiteral("画層一覧");
    return name;
}

// Cuts `base` so that `base + suffix` fits in a file name, without splitting a character.
QString fitted(QString base, const QString& suffix) {
    while (!base.isEmpty() && (base + suffix).toUtf8().size() > kMaxFileNameBytes) {
        base.chop(1);
        if (!base.isEmpty() && base.back().isHighSurrogate())
            base.chop(1);
    }
    return base + suffix;
}

bool isTaken(const QString& path) {
    const QFileInfo info(path);
    // A dangling link counts: writing there would follow it.
    return info.exists() || info.isSymLink();
}

} // namespace

QStringList workbookFolderCandidates() {
    QStringList folders;
    const auto add = [&](const QString& folder) {
        // A relative folder would depend on where the program was started from.
        if (folder.isEmpty() || QDir::isRelativePath(folder))
            return;
        const QString absolute = QDir(folder).absolutePath();
        if (!folders.contains(absolute))
            folders << absolute;
    };
    // The environment's word first: Qt reads only user-dirs.dirs.
    add(qEnvironmentVariable("XDG_DOCUMENTS_DIR"));
    add(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    add(QDir::homePath());
    return folders;
}

QString workbookFolder() {
    for (const QString& folder : workbookFolderCandidates()) {
        if (isWritableFolder(folder))
            return folder;
    }
    return {};
}

QString unusedWorkbookPath(const QString& folder, const QString& baseName) {
    const QDir dir(folder);
    const QString base = safeBaseName(baseName);
    const QString first = dir.filePath(fitted(base, QStringLiteral(".xlsx")));
    if (!isTaken(first))
        return first;
    for (int n = 2; n <= kLastNumber; ++n) {
        const QString path = dir.filePath(fitted(base, QStringLiteral(" (%1).xlsx").arg(n)));
        if (!isTaken(path))
            return path;
    }
    return {};
}

} // namespace spreadsheet
