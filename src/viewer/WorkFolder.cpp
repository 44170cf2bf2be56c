#include "WorkFolder.h"

#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace WorkFolder {

QString path() {
    const platform::FileLayout layout = platform::fileLayout();
    // An installed viewer's LAYER lies in a folder of its own, made for the user alone.
    if (!layout.portable && !QFileInfo(layout.work).isDir()) {
        QDir().mkpath(layout.work);
        QFile::setPermissions(layout.work, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner);
    }
    return layout.work + QStringLiteral("/LAYER");
}

void remove() {
    const QString folder = path();
    const QFileInfo info(folder);
    if (info.isSymLink())
        QFile::remove(folder);
    else if (info.isDir())
        QDir(folder).removeRecursively();
}

QString macroProject() {
    const platform::FileLayout layout = platform::fileLayout();
    const QString installed = layout.data + QStringLiteral("/TARNIX.dvb");
    if (layout.portable)
        return installed;
    path(); // makes the viewer's own folder
    const QString copy = layout.work + QStringLiteral("/TARNIX.dvb");
    // Copied afresh each time, so an update of the installed project is what runs.
    QFile::remove(copy);
    QFile::copy(installed, copy);
    return copy;
}

void release() {
    remove();
    const platform::FileLayout layout = platform::fileLayout();
    if (layout.portable)
        return;
    QFile::remove(layout.work + QStringLiteral("/TARNIX.dvb"));
    QDir().rmdir(layout.work); // only when empty: nothing else was ever put there
}

QString layerPicturePath(const QString& layerName) {
    constexpr qsizetype kMaxFileNameBytes = 255;
    const QString fileName = layerName + QStringLiteral(".wmf");
    if (layerName.isEmpty() || layerName == QLatin1String(".") ||
        layerName == QLatin1String("..") || layerName.contains(QLatin1Char('/')) ||
        layerName.contains(QChar(0)) || fileName.toUtf8().size() > kMaxFileNameBytes)
        return {};
    return path() + QLatin1Char('/') + fileName;
}

QString LayerPictures::find(const QString& layerName) {
    const QString exact = layerPicturePath(layerName);
    if (exact.isEmpty())
        return {};
    if (QFileInfo(exact).isFile())
        return exact;
    if (!m_listed) {
        m_listed = true;
        const QString suffix = QStringLiteral(".wmf");
        const QDir folder(path());
        for (const QString& file : folder.entryList({QStringLiteral("*.wmf")}, QDir::Files)) {
            const QString layer = file.left(file.size() - suffix.size());
            m_byFoldedName.insert(layer.toCaseFolded(), folder.filePath(file));
        }
    }
    return m_byFoldedName.value(layerName.toCaseFolded());
}

} // namespace WorkFolder
