#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <vector>

// The preview work folder <program folder>/LAYER: made by the first refresh, kept
// between refreshes, deleted when the window closes. Nothing outside it is ever read as
// a layer picture or deleted.
namespace WorkFolder {

QString path();

// Deletes the folder with everything in it. A LAYER that is a link is only unlinked:
// the folder it points to belongs to someone else.
void remove();
// The macro project the CAD loads. Its macros write beside themselves, into F/LAYER, so
// an installed viewer hands the CAD a copy in its own folder; a portable one its own.
QString macroProject();

// As remove, and for an installed viewer also its own folder that held LAYER: at the end.
void release();

// The picture file of a layer, or empty when the name cannot be a file name here
// (empty, ".", "..", holding "/" or NUL, or too long), so that a name from a list file
// never leads the viewer to a file outside the work folder.
QString layerPicturePath(const QString& layerName);

// A refresh's LAYER. The layers' pictures of the last refresh are kept for the macro to
// rewrite where they are: deleting a thousand files and making them again costs the
// host about a quarter of its layer macro, since the file system searches past every
// freshly freed inode for each file it makes. What the macro did not rewrite this time
// (a layer deleted, renamed, or switched off for a macro that writes only the layers
// that are on) is removed once it has run, so that LAYER then holds exactly this
// refresh's pictures and no tile or export ever takes the last refresh's picture of a
// layer for its own.
class RefreshPictures {
public:
    // Makes LAYER and an empty LAYER/SYS, and notes the pictures already there. Anything
    // else in LAYER goes now: no macro makes it, and a link could lead the host's writes
    // out of the folder.
    RefreshPictures();
    // Sweeps if sweep() was not called: after a refresh that failed before or during
    // its layer macro, what was not rewritten belongs to the last one.
    ~RefreshPictures();
    RefreshPictures(const RefreshPictures&) = delete;
    RefreshPictures& operator=(const RefreshPictures&) = delete;

    // Once the layer macro has run: removes the noted pictures it did not rewrite, and
    // returns how many. A picture that cannot be removed fails the refresh
    // (PathFileAccess) after the others are gone: a tile would show it.
    qsizetype sweep();

    QString sysPath() const;

private:
    QString m_folder;
    std::vector<QByteArray> m_noted; // file names, as the folder has them
    bool m_swept = false;
};

// The pictures of one refresh, found by layer name as the CAD finds layers: without
// regard to case. The macro names each file as the drawing spells the layer, while a
// list file may spell it otherwise ("wall" for "WALL"). The folder is listed once, on
// the first name that has no file of its own spelling.
class LayerPictures {
public:
    // The picture file of the layer, or empty when it has none.
    QString find(const QString& layerName);

private:
    bool m_listed = false;
    QHash<QString, QString> m_byFoldedName;
};

} // namespace WorkFolder
