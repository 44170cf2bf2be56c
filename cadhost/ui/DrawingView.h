#pragma once

#include "cadhost/model/Drawing.h"

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace cadhost {

// Shows one drawing fitted into the widget, in layer colours, honouring the layers'
// on and frozen states. The primitives are grouped once per drawing by (layer, colour),
// as pointers into the drawing rather than copies of its geometry (a copy as painter
// paths cost half again the memory of the drawing itself); a repaint after Regen only
// decides which groups to draw and in what colour, and the result is kept as an image
// until the next Regen or resize, so a window that is merely uncovered costs nothing.
class DrawingView : public QWidget {
    Q_OBJECT
public:
    explicit DrawingView(QWidget* parent = nullptr);
    ~DrawingView() override;

    static constexpr int kRegenSettleMs = 150;
    // While a client keeps calling, the repaint waits until it has been quiet this
    // long: a viewer rebuilding its window pauses between its calls for that long (it
    // decodes pictures, builds tiles), and a repaint in such a pause would make its
    // next call wait for a picture of a drawing it is still changing.
    static constexpr int kClientQuietMs = 1000;

    void setDrawing(Drawing* drawing);
    Drawing* drawing() const { return m_drawing; }
    // A script is still at work: a repaint that waits for the regenerations to settle
    // waits until the script has been quiet for kClientQuietMs. Nothing happens when
    // none is pending.
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
