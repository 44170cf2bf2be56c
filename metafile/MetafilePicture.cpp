#include "metafile/MetafilePicture.h"

#include "metafile/DisplayList.h"
#include "metafile/LibwmfPlayer.h"
#include "metafile/WmfValidator.h"

#include <QCoreApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainter>
#include <QThreadPool>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <new>
#include <unistd.h>

namespace metafile {

namespace {

// A drawing is worth keeping as pixels from this many commands and points on: below,
// painting it again costs about what blitting it does.
constexpr std::size_t kRasterMinCommands = 20000;
constexpr std::size_t kRasterMinPoints = 200000;
// Shown parts larger than this are painted from the commands, clipped to what is
// exposed: a picture must not hold a screen-sized image.
constexpr qint64 kRasterMaxPixels = 2048 * 2048;

// A file is read whole, checked, and played into commands that take at least as much
// again: one larger than half the machine's memory cannot be shown, whatever it holds.
// This is the only bound on a picture's size; a damaged file is told by its records.
bool fitsInMemory(qint64 fileBytes) {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return true; // unknown: let the allocation tell
    return fileBytes <= qint64(pages) * pageSize / 2;
}

// The worker that plays background pictures: one at a time, as they are the largest
// (the whole drawing's overviews) and the machine has the host's work to do as well;
// two played at once took both cores and their memory at the same moment. Owned by the
// application where there is one, so that it waits for its task before the end.
QThreadPool& backgroundPlayer() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool(QCoreApplication::instance());
        p->setMaxThreadCount(1);
        return p;
    }();
    return *pool;
}

// Kept pixels have a margin beyond the part they serve, and serve a little more of the
// box than was shown (see paintFromRaster).
constexpr int kMargin = 4;
constexpr int kAround = 32;

bool nearWhole(double v) {
    return std::abs(v - std::round(v)) < 1e-6;
}

} // namespace

MetafilePicture::MetafilePicture() = default;

std::shared_ptr<const MetafilePicture> MetafilePicture::load(const QString& path, Play play,
                                                             std::function<void()> played) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    if (!fitsInMemory(file.size()))
        return nullptr;
    if (play == Play::InBackground) {
        const QByteArray start = file.peek(WmfValidator::kHeaderBytes);
        const WmfValidator::Result head = WmfValidator::headers(start);
        if (!head.ok)
            return nullptr;
        const QSizeF placeable = LibwmfPlayer::placeableSizeTwips(head);
        // The worker reads from the file opened here: the folder's next refresh may
        // remove the name meanwhile, never what was opened.
        const int fd = placeable.isEmpty() ? -1 : ::dup(file.handle());
        if (fd >= 0)
            return loadInBackground(fd, file.size(), placeable, std::move(played));
    }
    try {
        QByteArray bytes = file.readAll();
        if (bytes.size() != file.size())
            return nullptr; // changed or unreadable while being read
        file.close();
        return fromBytes(std::move(bytes), play, std::move(played));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::shared_ptr<const MetafilePicture> MetafilePicture::fromBytes(QByteArray bytes, Play play,
                                                                  std::function<void()> played) {
    auto checked = std::make_unique<WmfValidator::Result>(WmfValidator::check(std::move(bytes)));
    if (!checked->ok)
        return nullptr;
    auto picture = std::shared_ptr<MetafilePicture>(new MetafilePicture);
    const QSizeF placeable = LibwmfPlayer::placeableSizeTwips(*checked);
    if (play != Play::Now && !placeable.isEmpty()) {
        picture->m_naturalTwips = placeable;
        picture->m_source = std::move(checked);
        if (play == Play::InBackground) {
            picture->m_inBackground = true;
            picture->m_repaint = played;
            // The task keeps the picture alive until it is played.
            backgroundPlayer().start([picture, played = std::move(played)] {
                picture->recording();
                if (played)
                    played();
            });
        } else if (played) {
            picture->m_whenPlayed = std::move(played);
        }
        return picture;
    }
    if (!LibwmfPlayer::play(*checked, picture->m_recording, picture->m_naturalTwips))
        return nullptr;
    std::call_once(picture->m_played, [] {});
    picture->m_isPlayed = true;
    if (played)
        played();
    return picture;
}

std::shared_ptr<const MetafilePicture>
MetafilePicture::loadInBackground(int fd, qint64 size, QSizeF naturalTwips,
                                  std::function<void()> played) {
    auto picture = std::shared_ptr<MetafilePicture>(new MetafilePicture);
    picture->m_naturalTwips = naturalTwips;
    picture->m_inBackground = true;
    picture->m_repaint = played;
    auto verdict = std::make_shared<std::promise<bool>>();
    picture->m_checked = verdict->get_future().share();
    // The task keeps the picture alive until it is played.
    backgroundPlayer().start([picture, fd, size, verdict, played = std::move(played)] {
        bool sound = false;
        try {
            QByteArray bytes(size, Qt::Uninitialized);
            qsizetype at = 0;
            while (at < size) {
                const ssize_t n = ::pread(fd, bytes.data() + at, std::size_t(size - at), at);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    break;
                at += n;
            }
            char beyond = 0;
            // Shorter or longer than when opened: changed while being read.
            if (at == size && ::pread(fd, &beyond, 1, size) == 0) {
                auto checked =
                    std::make_unique<WmfValidator::Result>(WmfValidator::check(std::move(bytes)));
                sound = checked->ok;
                if (sound)
                    picture->m_source = std::move(checked);
            }
        } catch (const std::bad_alloc&) {
        }
        ::close(fd);
        verdict->set_value(sound);
        picture->recording();
        if (played)
            played();
    });
    return picture;
}

bool MetafilePicture::isPlayed() const {
    return m_isPlayed;
}

bool MetafilePicture::waitChecked(int ms) const {
    return !m_checked.valid() ||
           m_checked.wait_for(std::chrono::milliseconds(ms)) == std::future_status::ready;
}

bool MetafilePicture::isSound() const {
    return !m_checked.valid() || m_checked.get();
}

const MetafilePicture::Recording& MetafilePicture::recording() const {
    // The records are there to play once the worker has read and checked them.
    if (m_checked.valid())
        m_checked.wait();
    std::call_once(m_played, [this] {
        if (m_source) {
            QSizeF natural; // the header's, as loading found it
            LibwmfPlayer::play(*m_source, m_recording, natural);
            m_source.reset();
        }
        m_isPlayed = true;
        if (m_whenPlayed) {
            m_whenPlayed();
            m_whenPlayed = nullptr;
        }
    });
    return m_recording;
}

void MetafilePicture::prepare(QSize box, QPainter::RenderHints hints) const {
    if (!m_inBackground || box.isEmpty() || qint64(box.width()) * box.height() > kRasterMaxPixels)
        return;
    ++m_preparing;
    // After the task that plays the records: the worker takes one task at a time.
    backgroundPlayer().start([self = shared_from_this(), box, hints] {
        const Recording& r = self->recording();
        if (r.list && (r.list->commandCount() >= kRasterMinCommands ||
                       r.list->pointCount() >= kRasterMinPoints)) {
            const QRect whole(QPoint(0, 0), box);
            QImage raster = self->rasterOf(whole, box, hints);
            std::lock_guard<std::mutex> lock(self->m_rasterLock);
            if (!raster.isNull())
                self->keepRaster(std::move(raster), box, whole, static_cast<int>(hints.toInt()));
        }
        --self->m_preparing;
        if (self->m_repaint)
            self->m_repaint();
    });
}

void MetafilePicture::paint(QPainter& painter, const QRectF& targetRect) const {
    // Never wait for the worker here: the caller is drawing a window.
    if (m_inBackground && (!m_isPlayed || m_preparing > 0))
        return;
    const Recording& r = recording();
    if (r.frame.width() <= 0 || r.frame.height() <= 0 || targetRect.isEmpty())
        return;
    if (!paintFromRaster(painter, targetRect))
        paintRecording(painter, targetRect);
}

bool MetafilePicture::paintFromRaster(QPainter& painter, const QRectF& targetRect) const {
    const Recording& r = recording();
    if (!r.list ||
        (r.list->commandCount() < kRasterMinCommands && r.list->pointCount() < kRasterMinPoints))
        return false;
    // Kept pixels are blitted one to one: only for a box on whole device pixels, neither
    // turned nor scaled by the device, so they are what painting would give (but for a
    // line crossing the box's edge, which may be cut a pixel apart).
    // Printers, PDF and SVG writers and recordings get the vectors, never pixels.
    if (!painter.paintEngine() || painter.paintEngine()->type() != QPaintEngine::Raster)
        return false;
    const QTransform toDevice = painter.combinedTransform();
    if (toDevice.type() > QTransform::TxScale || !painter.device() ||
        painter.device()->devicePixelRatio() != 1.0)
        return false;
    const QRectF box = toDevice.mapRect(targetRect);
    if (!nearWhole(box.left()) || !nearWhole(box.top()) || !nearWhole(box.width()) ||
        !nearWhole(box.height()))
        return false;
    const QSize size(int(std::round(box.width())), int(std::round(box.height())));
    if (size.isEmpty())
        return false;
    // What a drawing puts outside its box shows where the painter lets it; the pixels
    // hold the box only, so they serve only a painter that shows nothing beyond it.
    const QRectF shown = painter.hasClipping()
                             ? toDevice.mapRect(painter.clipBoundingRect())
                             : QRectF(0, 0, painter.device()->width(), painter.device()->height());
    if (!box.contains(shown))
        return false;
    // Only the shown part of the box is kept, in the box's own pixels: a zoomed
    // overview is far larger than its frame, and painting all of it at each new size
    // cost the whole drawing where a frame's worth is seen. A little around it is kept
    // too, so that a window moved or uncovered by a few pixels is served as it is.
    const QPoint boxAt(int(std::round(box.left())), int(std::round(box.top())));
    const QRect inBox(QPoint(0, 0), size);
    const QRect shownInBox = shown.toAlignedRect().translated(-boxAt) & inBox;
    if (shownInBox.isEmpty())
        return true;

    // The part lies inside a margin, and the box is clipped like any exposed area:
    // lines crossing the box's edge are then cut exactly where a painter clipped to
    // the box cuts them, not where an image's border would; lines crossing the part's
    // edge inside the box run on past it, and are cut by the border out of sight.
    std::unique_lock<std::mutex> lock(m_rasterLock);
    const int hints = static_cast<int>(painter.renderHints().toInt());
    if (m_rasterBox != size || m_rasterHints != hints || !m_rasterPart.contains(shownInBox)) {
        const QRect part = shownInBox.adjusted(-kAround, -kAround, kAround, kAround) & inBox;
        if (qint64(part.width()) * part.height() > kRasterMaxPixels)
            return false;
        if (m_repaint && !m_raster.isNull() && m_rasterHints == hints) {
            // A window that is told when sharper pixels are ready is not kept waiting
            // for them.
            paintScaledRaster(painter, boxAt, size, shownInBox);
            if (!m_sharpening) {
                m_sharpening = true;
                lock.unlock();
                sharpenInBackground(part, size, painter.renderHints());
            }
            return true;
        }
        lock.unlock();
        QImage raster = rasterOf(part, size, painter.renderHints());
        if (raster.isNull())
            return false;
        lock.lock();
        keepRaster(std::move(raster), size, part, hints);
    }
    painter.save();
    painter.resetTransform();
    const QRect from = shownInBox.translated(QPoint(kMargin, kMargin) - m_rasterPart.topLeft());
    painter.drawImage(boxAt + shownInBox.topLeft(), m_raster, from);
    painter.restore();
    return true;
}

QImage MetafilePicture::rasterOf(const QRect& part, QSize box, QPainter::RenderHints hints) const {
    QImage raster(part.size() + QSize(2 * kMargin, 2 * kMargin),
                  QImage::Format_ARGB32_Premultiplied);
    if (raster.isNull())
        return raster;
    raster.fill(Qt::transparent);
    const QRect inBox(QPoint(0, 0), box);
    const QRect boxInRaster = inBox.translated(QPoint(kMargin, kMargin) - part.topLeft());
    QPainter rasterPainter(&raster);
    rasterPainter.setRenderHints(hints);
    rasterPainter.setClipRect(boxInRaster);
    paintRecording(rasterPainter, QRectF(boxInRaster));
    rasterPainter.end();
    return raster;
}

void MetafilePicture::keepRaster(QImage raster, QSize box, const QRect& part, int hints) const {
    m_raster = std::move(raster);
    m_rasterBox = box;
    m_rasterPart = part;
    m_rasterHints = hints;
}

void MetafilePicture::paintScaledRaster(QPainter& painter, QPoint boxAt, QSize box,
                                        QRect shownInBox) const {
    const double sx = double(box.width()) / m_rasterBox.width();
    const double sy = double(box.height()) / m_rasterBox.height();
    const QRectF kept(m_rasterPart.left() * sx, m_rasterPart.top() * sy, m_rasterPart.width() * sx,
                      m_rasterPart.height() * sy);
    painter.save();
    painter.resetTransform();
    painter.setClipRect(QRect(boxAt + shownInBox.topLeft(), shownInBox.size()), Qt::IntersectClip);
    painter.drawImage(kept.translated(boxAt), m_raster,
                      QRectF(QPointF(kMargin, kMargin), QSizeF(m_rasterPart.size())));
    painter.restore();
}

void MetafilePicture::sharpenInBackground(const QRect& part, QSize box,
                                          QPainter::RenderHints hints) const {
    // The task keeps the picture alive until it is done.
    backgroundPlayer().start([self = shared_from_this(), part, box, hints] {
        QImage raster = self->rasterOf(part, box, hints);
        {
            std::lock_guard<std::mutex> lock(self->m_rasterLock);
            if (!raster.isNull())
                self->keepRaster(std::move(raster), box, part, static_cast<int>(hints.toInt()));
            self->m_sharpening = false;
        }
        self->m_repaint();
    });
}

bool MetafilePicture::isSharpening() const {
    std::lock_guard<std::mutex> lock(m_rasterLock);
    return m_sharpening;
}

void MetafilePicture::paintRecording(QPainter& painter, const QRectF& targetRect) const {
    const Recording& r = recording();
    painter.save();
    // Only the transform changes: the list replays vector commands, and the
    // painter's clip keeps rasterising to what is exposed, at any box size.
    painter.translate(targetRect.topLeft());
    painter.scale(targetRect.width() / r.frame.width(), targetRect.height() / r.frame.height());
    painter.translate(-r.frame.topLeft());
    if (r.list) {
        // Drawings are lines a pixel wide: smoothing only greys them.
        painter.setRenderHint(QPainter::Antialiasing, false);
        r.list->replay(painter);
    }
    if (!r.textItems.empty()) {
        const QTransform toDevice = painter.transform();
        QRectF visible = painter.hasClipping() ? painter.clipBoundingRect() : QRectF();
        // clipBoundingRect is in logical coordinates; compare everything in device space.
        visible = visible.isNull() ? QRectF(QPointF(0, 0), QSizeF(painter.device()->width(),
                                                                  painter.device()->height()))
                                   : toDevice.mapRect(visible);
        for (const TextItem& item : r.textItems) {
            if (!toDevice.mapRect(item.bounds).intersects(visible))
                continue;
            painter.setTransform(item.transform * toDevice);
            painter.setFont(item.font);
            painter.setPen(item.color);
            double x = 0;
            if (item.advanceShare != 0) {
                // Painters on other threads may measure it too: they find the same.
                float advance = item.measured.advance.load(std::memory_order_relaxed);
                if (advance < 0) {
                    advance = float(QFontMetricsF(item.font).horizontalAdvance(item.text));
                    item.measured.advance.store(advance, std::memory_order_relaxed);
                }
                x = -item.advanceShare * advance;
            }
            painter.drawText(QPointF(x, 0), item.text);
        }
    }
    painter.restore();
}

} // namespace metafile
