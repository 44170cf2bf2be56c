#pragma once

#include <QIcon>
#include <QPixmap>
#include <QRectF>
#include <QSizeF>
#include <memory>

class QPainter;

namespace platform {

// What an Image control shows: anything with a natural size that can paint itself
// scaled into a box. Pictures are immutable and shared, so copying a picture from one
// control to another (a tile taking a state icon) copies a pointer, not pixels.
class VbPicture {
public:
    virtual ~VbPicture() = default;
    virtual QSizeF naturalSizeTwips() const = 0;
    // Paints scaled into target; only the painter's clip needs to be rasterised.
    virtual void paint(QPainter& painter, const QRectF& target) const = 0;
};

using VbPicturePtr = std::shared_ptr<const VbPicture>;

class PixmapPicture : public VbPicture {
public:
    explicit PixmapPicture(QPixmap pixmap) : m_pixmap(std::move(pixmap)) {}
    QSizeF naturalSizeTwips() const override;
    void paint(QPainter& painter, const QRectF& target) const override;
    const QPixmap& pixmap() const { return m_pixmap; }

private:
    QPixmap m_pixmap;
};

// An icon at a fixed natural size in pixels; painted from the icon at the device's
// pixel ratio, so vector artwork stays crisp on HiDPI screens.
class IconPicture : public VbPicture {
public:
    IconPicture(QIcon icon, QSize sizePixels) : m_icon(std::move(icon)), m_size(sizePixels) {}
    QSizeF naturalSizeTwips() const override;
    void paint(QPainter& painter, const QRectF& target) const override;
    const QIcon& icon() const { return m_icon; }

private:
    QIcon m_icon;
    QSize m_size;
};

// Any shared picture type with naturalSizeTwips() and paint(QPainter&, QRectF) (the
// metafile picture) becomes a VbPicture without the platform layer linking its library.
template <class P> class SharedPictureAdapter : public VbPicture {
public:
    explicit SharedPictureAdapter(std::shared_ptr<const P> picture)
        : m_picture(std::move(picture)) {}
    QSizeF naturalSizeTwips() const override { return QSizeF(m_picture->naturalSizeTwips()); }
    void paint(QPainter& painter, const QRectF& target) const override {
        m_picture->paint(painter, target);
    }
    const std::shared_ptr<const P>& source() const { return m_picture; }

private:
    std::shared_ptr<const P> m_picture;
};

template <class P> VbPicturePtr makeVbPicture(std::shared_ptr<const P> picture) {
    if (!picture)
        return nullptr;
    return std::make_shared<SharedPictureAdapter<P>>(std::move(picture));
}

} // namespace platform
