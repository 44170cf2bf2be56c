#include "cadhost/macro/ProjectPaths.h"

#include "platform/VbError.h"

#include <QDir>
#include <QFileInfo>
#include <QStringConverter>
#include <QStringList>

namespace cadhost {

namespace {

[[noreturn]] void refuse(const QByteArray& relative, const char* why) {
    throw platform::AutomationError(platform::vberr::PathFileAccess,
                                    QStringLiteral("Path refused (%1): %2")
                                        .arg(QLatin1String(why), QString::fromUtf8(relative)));
}

} // namespace

ProjectPaths::ProjectPaths(QString projectFolder)
    : m_folder(QDir::cleanPath(QDir(projectFolder).absolutePath())) {}

QString ProjectPaths::layerFolder() const {
    return m_folder + QStringLiteral("/LAYER");
}

bool ProjectPaths::isFileName(const QByteArray& name) {
    // Linux keeps at most 255 bytes of a file name; a longer layer name gets no picture
    // rather than a failed write that would end the whole macro.
    constexpr qsizetype kMaxFileNameBytes = 255;
    return !name.isEmpty() && name.size() <= kMaxFileNameBytes && name != "." && name != ".." &&
           !name.contains('/') && !name.contains('\0');
}

QString ProjectPaths::lexicalPath(const QByteArray& relative, QStringList* components) const {
    if (relative.isEmpty())
        refuse(relative, "empty");
    if (relative.contains('\0'))
        refuse(relative, "NUL character");
    if (relative.startsWith('/'))
        refuse(relative, "absolute");
    auto decoder = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(relative);
    if (decoder.hasError())
        refuse(relative, "not UTF-8");

    QStringList parts;
    for (const QString& part : text.split(QLatin1Char('/'))) {
        if (part.isEmpty() || part == QLatin1String("."))
            continue;
        if (part == QLatin1String(".."))
            refuse(relative, "parent folder");
        parts << part;
    }
    if (parts.isEmpty())
        refuse(relative, "names the project folder itself");
    if (components)
        *components = parts;
    return m_folder + QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

QString ProjectPaths::resolveForRead(const QByteArray& relative) const {
    return lexicalPath(relative, nullptr);
}

QString ProjectPaths::resolveForWrite(const QByteArray& relative) const {
    QStringList parts;
    const QString path = lexicalPath(relative, &parts);
    if (parts.first() != QLatin1String("LAYER"))
        refuse(relative, "outside the LAYER folder");

    // Walk from F/LAYER down; a link anywhere (LAYER itself included) could point out of
    // the work folder, and the viewer never makes one, so any link is refused.
    QString walked = m_folder;
    for (const QString& part : parts) {
        walked += QLatin1Char('/') + part;
        const QFileInfo info(walked);
        if (info.isSymLink())
            refuse(relative, "symbolic link");
        if (!info.exists())
            break;
    }
    return path;
}

} // namespace cadhost
