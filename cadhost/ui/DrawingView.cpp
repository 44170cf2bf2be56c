#include "cadhost/ui/DrawingView.h"

#include "cadhost/model/AciPalette.h"
#include "cadhost/model/Drawing.h"

#include <QHash>
#include <QPainter>
#include <cmath>

namespace cadhost {

struct DrawingView::Group {
    QString layer;
    int color = aci::ByLayer;
    std::vector<const Primitive*> strokes;
    std::vector<const Primitive*> fills;
    std::vector<const Primitive*> texts;
    QRectF textBounds;
};

DrawingView::DrawingView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 150);
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(kRegenSettleMs);
    connect(&m_settleTimer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

DrawingView::~DrawingView() = default;

void DrawingView::setDrawing(Drawing* drawing) {
    if (m_drawing)
        disconnect(m_drawing, nullptr, this, nullptr);
    m_drawing = drawing;
    if (m_drawing)
        connect(m_drawing, &Drawing::regenerated, this, [this] {
            invalidate();
            // A client's script that is still at work keeps its longer wait.
            m_settleTimer.start(std::max(
                kRegenSettleMs, m_settleTimer.isActive() ? m_settleTimer.remainingTime() : 0));
        });
    // Grouped at the first paint: a hidden host serving automation calls never pays
    // for the grouping of a drawing nobody looks at.
    m_groups.clear();
    m_groupsValid = false;
    invalidate();
    update();
}

void DrawingView::rebuildGroups() {
    m_groupsValid = true;
    m_groups.clear();
    m_groupedEntities = 0;
    if (!m_drawing)
        return;
    m_groupedEntities = m_drawing->entities().size();
    QHash<QPair<QString, int>, std::size_t> index;
    auto groupFor = [&](const QString& layer, int color) -> Group& {
        const QPair<QString, int> key(Drawing::nameKey(layer), color);
        auto it = index.constFind(key);
        if (it == index.constEnd()) {
            it = index.insert(key, m_groups.size());
            m_groups.push_back(Group{layer, color, {}, {}, {}, {}});
        }
        return m_groups[*it];
    };
    for (const Entity& e : m_drawing->entities()) {
        for (const Primitive& p : e.primitives) {
            Group& g = groupFor(p.layer, p.color);
            switch (p.kind) {
            case Primitive::Kind::Polyline:
                if (!p.points.isEmpty())
                    g.strokes.push_back(&p);
                break;
            case Primitive::Kind::FilledPolygon:
                if (!p.points.isEmpty())
                    g.fills.push_back(&p);
                break;
            case Primitive::Kind::Text:
                g.texts.push_back(&p);
                g.textBounds = g.textBounds.united(p.bounds());
                break;
            }
        }
    }
    for (Group& g : m_groups) {
        g.strokes.shrink_to_fit();
        g.fills.shrink_to_fit();
        g.texts.shrink_to_fit();
    }
}

void DrawingView::postponeRepaint() {
    if (m_settleTimer.isActive())
        m_settleTimer.start(kClientQuietMs);
}

void DrawingView::invalidate() {
    // Groups point into the entity list; entities added since they were built (a
    // script adding geometry) would leave them stale.
    if (m_drawing && m_drawing->entities().size() != m_groupedEntities)
        m_groupsValid = false;
    m_cacheValid = false;
}

void DrawingView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_cacheValid = false;
}

void DrawingView::paintEvent(QPaintEvent*) {
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    if (!m_cacheValid || m_cache.size() != pixels) {
        m_cache = QImage(pixels, QImage::Format_RGB32);
        m_cache.setDevicePixelRatio(dpr);
        QPainter cachePainter(&m_cache);
        paintDrawing(cachePainter, size());
        m_cacheValid = true;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, m_cache);
}

QImage DrawingView::render(const QSize& size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    paintDrawing(painter, size);
    return image;
}

void DrawingView::paintDrawing(QPainter& painter, const QSize& size) {
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    if (!m_groupsValid)
        rebuildGroups();
    if (!m_drawing || m_drawing->entities().empty())
        return;
    QRectF world = m_drawing->extents();
    if (world.width() <= 0 && world.height() <= 0)
        world.adjust(-1, -1, 1, 1);
    const double margin = 10.0;
    const double w = std::max(1.0, size.width() - 2 * margin);
    const double h = std::max(1.0, size.height() - 2 * margin);
    const double scale =
        std::min(w / std::max(world.width(), 1e-9), h / std::max(world.height(), 1e-9));
    // World y runs up, the screen's down.
    QTransform t;
    t.translate(size.width() / 2.0, size.height() / 2.0);
    t.scale(scale, -scale);
    t.translate(-world.center().x(), -world.center().y());

    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF visibleWorld = t.inverted().mapRect(QRectF(QPoint(0, 0), size));
    for (const Group& g : m_groups) {
        const Layer* layer = m_drawing->findLayer(g.layer);
        if (layer && !layer->isVisible())
            continue;
        const int aciColor = g.color == aci::ByLayer ? (layer ? layer->color : 7) : g.color;
        const QColor colour = AciPalette::color(aciColor);
        painter.setTransform(t);
        if (!g.fills.empty()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
            for (const Primitive* p : g.fills)
                painter.drawPolygon(p->points.constData(), int(p->points.size()));
        }
        if (!g.strokes.empty()) {
            QPen pen(colour);
            pen.setCosmetic(true);
            pen.setWidthF(1.0);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            for (const Primitive* p : g.strokes) {
                const int n = int(p->points.size());
                if (n == 1)
                    painter.drawPoint(p->points[0]);
                else if (p->closed && n > 2)
                    painter.drawPolygon(p->points.constData(), n);
                else
                    painter.drawPolyline(p->points.constData(), n);
            }
        }
        if (g.texts.empty() || !g.textBounds.intersects(visibleWorld))
            continue;
        painter.setPen(colour);
        for (const Primitive* p : g.texts) {
            const double pixelHeight = p->height * scale;
            if (pixelHeight < 2.0 || !p->bounds().intersects(visibleWorld))
                continue; // too small to read: a line of dots would only be noise
            QFont font = painter.font();
            font.setPixelSize(std::max(1, int(std::lround(pixelHeight))));
            painter.setFont(font);
            const QPointF anchor = t.map(p->position);
            painter.resetTransform();
            painter.translate(anchor);
            painter.rotate(-p->rotation);
            const double width = painter.fontMetrics().horizontalAdvance(p->text);
            const double dx = p->halign == 1 ? -width / 2 : (p->halign == 2 ? -width : 0.0);
            painter.drawText(QPointF(dx, 0), p->text);
            painter.resetTransform();
        }
    }
}

} // namespace cadhost
