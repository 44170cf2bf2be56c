#pragma once

#include "cadhost/model/Drawing.h"

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace cadhost {

// Shows one drawing fitted into the widget, in layer colours, honouring the layers'
// on and frozen states. The geometry is grouped once per drawing into one path per
// (layer, colour); a repaint after Regen only decides which groups to draw and in what
// colour, and the result is kept as an image until the next Regen or resize, so a
// drawing of 200,000 entities repaints as fast as an empty one.
class DrawingView : public QWidget {
    Q_OBJECT
public:
    explicit DrawingView(QWidget* parent = nullptr);
    ~DrawingView() override;

    static constexpr int kRegenSettleMs = 150;

    void setDrawing(Drawing* drawing);
    Drawing* drawing() const { return m_drawing; }
    // A script is still at work: a repaint that waits for the regenerations to settle
    // waits a little longer. Nothing happens when none is pending.
    void postponeRepaint();
    // Renders the drawing as shown into an image of the given size (tests, snapshots).
    QImage render(const QSize& size);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Group;
    void rebuildGroups();
    void invalidate();
    void paintDrawing(QPainter& painter, const QSize& size);

    QPointer<Drawing> m_drawing;
    std::vector<Group> m_groups;
    std::size_t m_groupedEntities = 0;
    bool m_groupsValid = false;
    QImage m_cache;
    bool m_cacheValid = false;
    // A script switches layers and regenerates many times in a row; the window shows
    // the drawing once the regenerations settle instead of after each one, and calls
    // queued behind a repaint do not wait for pictures nobody had time to look at.
    QTimer m_settleTimer;
};

} // namespace cadhost
