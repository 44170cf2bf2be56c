#include "ViewerIcons.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

static void initViewerResources() {
    Q_INIT_RESOURCE(viewer);
}

namespace ViewerIcons {

QIcon icon(const QString& name, QSize logicalSize) {
    static const bool loaded = (initViewerResources(), true);
    Q_UNUSED(loaded);
    QSvgRenderer renderer(QStringLiteral(":/viewer/icons/%1.svg").arg(name));
    QIcon result;
    if (!renderer.isValid())
        return result;
    for (int scale : {1, 2, 3}) {
        QPixmap pixmap(logicalSize * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        pixmap.setDevicePixelRatio(scale);
        result.addPixmap(pixmap);
    }
    return result;
}

} // namespace ViewerIcons
