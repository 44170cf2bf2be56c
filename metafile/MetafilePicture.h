#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTransform>

#include <memory>
#include <vector>

class QPainter;

namespace metafile {

class DisplayList;

// A Windows metafile loaded once and kept as vector drawing commands, shared
// by the tiles, the overview and the export: one way to load and paint a picture.
//
// The drawing is recorded in its own frame: the metafile's bounding box mapped
// onto `frame()` (logical units of the file, origin at the box's top-left,
// y down). Painting scales that frame into any target rectangle; lines drawn
// with thin pens stay one pixel wide at every zoom, and only what falls inside
// the painter's clip is rasterised, so a 32767-pixel box costs no more memory
// than the visible part of it.
class MetafilePicture {
public:
    // Text is kept beside the drawing commands rather than in them: laying out text
    // while recording costs far more than the geometry, and most of a big
    // drawing's text is outside the visible part anyway. Drawn over the
    // geometry, only where it falls inside the painter's clip.
    struct TextItem {
        QString text;
        QTransform transform; // design-size text space to the picture's frame
        QFont font;
        QColor color;
        QRectF bounds; // in the frame, for skipping invisible text
    };

    // nullptr = no picture: missing, empty, truncated or malformed file. Never
    // throws, never hangs: records are validated before they are played.
    static std::shared_ptr<const MetafilePicture> load(const QString& path);
    static std::shared_ptr<const MetafilePicture> fromBytes(const QByteArray& bytes);

    // Size the picture wants to be shown at, in twips (1440 per inch): the
    // placeable header's box at its units per inch; files without one use the
    // extent libwmf computes at 1440 units per inch.
    QSizeF naturalSizeTwips() const { return m_naturalTwips; }

    // The coordinate frame the picture was recorded in (see the class comment).
    QRectF frame() const { return m_frame; }

    // Union of everything drawn, as fractions of the frame (0..1 on each axis,
    // x to the right, y down). Empty when the file draws nothing.
    QRectF drawnBounds() const { return m_drawnBounds; }

    // Scales the frame into targetRect (distorting when the aspect differs,
    // as a stretched picture box does).
    void paint(QPainter& painter, const QRectF& targetRect) const;

    // Texts drawn, decoded to Unicode in drawing order.
    QStringList texts() const { return m_texts; }

    int primitiveCount() const { return m_primitives; }

private:
    MetafilePicture() = default;
    friend class LibwmfPlayer;

    std::shared_ptr<const DisplayList> m_list; // never null once loaded
    std::vector<TextItem> m_textItems;
    QRectF m_frame;
    QSizeF m_naturalTwips;
    QRectF m_drawnBounds;
    QStringList m_texts;
    int m_primitives = 0;
};

} // namespace metafile
