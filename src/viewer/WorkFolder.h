#pragma once

#include <QHash>
#include <QString>

// The preview work folder <program folder>/LAYER: made at each refresh, deleted when
// the window closes. Nothing outside it is ever read as a layer picture or deleted.
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
