#pragma once

#include "metafile/WmfValidator.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTransform>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
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
// than the visible part of it. (A large drawing in a small box is the exception:
// its whole box is kept as pixels, see m_raster.)
class MetafilePicture : public std::enable_shared_from_this<MetafilePicture> {
public:
    // Text is kept beside the drawing commands rather than in them: laying out text
    // while recording costs far more than the geometry, and most of a big
    // drawing's text is outside the visible part anyway. Drawn over the
    // geometry, only where it falls inside the painter's clip.
    struct TextItem {
        QString text;
        // Design-size text space, the baseline's start at its origin, to the frame.
        QTransform transform;
        QFont font;
        QColor color;
        QRectF bounds; // in the frame, for skipping invisible text
        // How much of its advance the text lies before its origin: 0.5 when it is
        // centred there, 1 when it ends there. The advance is measured in the font it
        // is painted in when it is first painted, and kept: most of a drawing's text
        // is never seen, and what is seen is painted again and again.
        double advanceShare = 0;
        struct Measured {
            mutable std::atomic<float> advance{-1}; // design units; -1 until measured
            Measured() = default;
            Measured(const Measured& o) : advance(o.advance.load(std::memory_order_relaxed)) {}
            Measured& operator=(const Measured& o) {
                advance.store(o.advance.load(std::memory_order_relaxed), std::memory_order_relaxed);
                return *this;
            }
        } measured;
    };

    // When the records are played into drawing commands. A tile grid loads a picture
    // for every layer but shows a screenful of them: Deferred reads and checks the
    // file at once and plays it when the picture is first painted or asked for what
    // it draws. InBackground plays it on a worker thread at once, for a large picture
    // shown right away while the caller goes on with other work: the worker reads and
    // checks the file too, as the largest take the window longer than it may stop, and
    // loading checks only the headers (see waitChecked). Until it is played, painting
    // it draws nothing (asking what it draws waits for the worker). The size
    // comes from the placeable header; a file without one has no size but what
    // playing it gives, and is played at once in any case.
    //
    // An InBackground picture is one a window shows large and changes the size of
    // (the overviews): its `played` is also called whenever sharper pixels are ready.
    // A large drawing painted at a new size then shows its last pixels scaled at once
    // and is drawn anew at that size on the worker, so a zoom step costs the window no
    // more than a blit; the next paint shows the sharp pixels.
    enum class Play { Now, Deferred, InBackground };

    // nullptr = no picture: missing, empty, truncated or malformed file, or one too
    // large for the machine's memory (there is no other limit on size). Never
    // throws, never hangs: records are validated before they are played. A picture
    // played later whose records libwmf then refuses draws nothing. `played`, when
    // given, is called once the records are played, on the thread that played them.
    static std::shared_ptr<const MetafilePicture> load(const QString& path, Play play = Play::Now,
                                                       std::function<void()> played = {});
    static std::shared_ptr<const MetafilePicture> fromBytes(QByteArray bytes, Play play = Play::Now,
                                                            std::function<void()> played = {});

    // Size the picture wants to be shown at, in twips (1440 per inch): the
    // placeable header's box at its units per inch; files without one use the
    // extent libwmf computes at 1440 units per inch.
    QSizeF naturalSizeTwips() const { return m_naturalTwips; }

    // Whether the records have been played into drawing commands yet.
    bool isPlayed() const;

    // A picture played in the background is read and checked on the worker: waits at
    // most `ms` for that, and says whether it is done (at once for any other picture).
    bool waitChecked(int ms) const;
    // Once checked: whether the file was whole and well formed. Only a picture played
    // in the background can be loaded and then found otherwise; it draws nothing.
    bool isSound() const;

    // For a picture played in the background: its pixels for a box of this size
    // (device pixels, painted with these hints) are made on the worker too, after it
    // is played, so that the window's first paint of a whole drawing does not stop
    // the window for the time its hundreds of thousands of commands take. Until they
    // are made the picture paints nothing; `played` is called again once they are.
    // Does nothing for other pictures, or for a box too large to keep as pixels.
    void prepare(QSize box, QPainter::RenderHints hints) const;

    // The coordinate frame the picture was recorded in (see the class comment).
    QRectF frame() const { return recording().frame; }

    // Union of everything drawn, as fractions of the frame (0..1 on each axis,
    // x to the right, y down). Empty when the file draws nothing.
    QRectF drawnBounds() const { return recording().drawnBounds; }

    // Scales the frame into targetRect (distorting when the aspect differs,
    // as a stretched picture box does).
    void paint(QPainter& painter, const QRectF& targetRect) const;

    // Texts drawn, decoded to Unicode in drawing order; the pieces of a line drawn one
    // after another from the current position, or a character at a time, make one text.
    QStringList texts() const { return recording().texts; }
    // How they are drawn, run by run.
    const std::vector<TextItem>& textItems() const { return recording().textItems; }

    int primitiveCount() const { return recording().primitives; }

    // Whether pixels for a size or part asked by a paint are still being drawn on the
    // worker (the paint showed the last ones scaled, and `played` follows).
    bool isSharpening() const;

    // What playing the records gives.
    struct Recording {
        std::shared_ptr<const DisplayList> list; // null when nothing could be played
        std::vector<TextItem> textItems;
        QRectF frame;
        QRectF drawnBounds;
        QStringList texts;
        int primitives = 0;
    };

private:
    MetafilePicture();

    const Recording& recording() const;
    void paintRecording(QPainter& painter, const QRectF& targetRect) const;
    bool paintFromRaster(QPainter& painter, const QRectF& targetRect) const;
    // The part `part` of a box of `box` pixels, with a margin around it.
    QImage rasterOf(const QRect& part, QSize box, QPainter::RenderHints hints) const;
    void keepRaster(QImage raster, QSize box, const QRect& part, int hints) const;
    // The last pixels scaled into a box of another size or moved: what a window shows
    // while the sharp ones are drawn.
    void paintScaledRaster(QPainter& painter, QPoint boxAt, QSize box, QRect shownInBox) const;
    void sharpenInBackground(const QRect& part, QSize box, QPainter::RenderHints hints) const;

    // From a file read and checked on the worker, behind its verdict.
    static std::shared_ptr<const MetafilePicture>
    loadInBackground(int fd, qint64 size, QSizeF naturalTwips, std::function<void()> played);

    QSizeF m_naturalTwips;
    // Valid for a picture read on the worker: true once its file is found sound.
    std::shared_future<bool> m_checked;
    // The checked file until it is played; released once played.
    mutable std::unique_ptr<WmfValidator::Result> m_source;
    mutable std::once_flag m_played;
    mutable std::atomic<bool> m_isPlayed{false};
    bool m_inBackground = false;
    mutable std::function<void()> m_whenPlayed; // a deferred picture's `played`
    std::function<void()> m_repaint;            // a background picture's `played`
    mutable std::atomic<int> m_preparing{0};    // pixels being made on the worker
    mutable Recording m_recording;

    // The shown part of the last paint of a large drawing, kept as pixels: the
    // overviews are painted again whenever anything near them changes, and their
    // hundreds of thousands of commands cost far more than the pixels.
    mutable std::mutex m_rasterLock;
    mutable QImage m_raster;
    mutable QSize m_rasterBox;
    mutable QRect m_rasterPart; // of the box, in its pixels
    mutable int m_rasterHints = 0;
    mutable bool m_sharpening = false; // one at a time: rapid steps do not pile up
};

} // namespace metafile
