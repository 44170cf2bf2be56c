#pragma once

#include <QByteArray>
#include <QString>

namespace cadhost {

// The only place a macro's path becomes a file-system path. Macros name files relative
// to the folder of their project file (F); they may look at anything below F but write
// only below F/LAYER, the viewer's work folder. Every check is made here, in C++, so a
// macro cannot talk its way out with "..", an absolute path or a symbolic link.
class ProjectPaths {
public:
    explicit ProjectPaths(QString projectFolder);

    const QString& folder() const { return m_folder; }
    QString layerFolder() const;

    // Both throw platform::AutomationError (path/file access error) for a path that is
    // empty, absolute, holds NUL or a ".." component, or is not valid UTF-8.
    QString resolveForRead(const QByteArray& relative) const;
    // Also refuses a path outside F/LAYER and any symbolic link on the way from
    // F/LAYER to the file (the file included), so nothing lands outside the work folder.
    QString resolveForWrite(const QByteArray& relative) const;

    // Whether a layer name can be used unchanged as a file name here.
    static bool isFileName(const QByteArray& name);

private:
    QString lexicalPath(const QByteArray& relative, QStringList* components) const;

    QString m_folder;
};

} // namespace cadhost
