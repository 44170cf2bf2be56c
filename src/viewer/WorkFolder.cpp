#include "WorkFolder.h"

#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace WorkFolder {

QString path() {
    return platform::programFolder() + QStringLiteral("/LAYER");
}

void remove() {
    const QString folder = path();
    const QFileInfo info(folder);
    if (info.isSymLink())
        QFile::remove(folder);
    else if (info.isDir())
        QDir(folder).removeRecursively();
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
