#pragma once

#include <QString>
#include <QStringList>

namespace korvel::test {

// Writes small DXF drawings for tests that need a file cadhost can open:
//
//     korvel::test::DxfFixture dxf;
//     dxf.addLayer("WALL", 1);                       // red, on
//     korvel::test::DxfFixture::LayerState off;
//     off.on = false;
//     dxf.addLayer("HIDDEN", 3, off);
//     dxf.addLine("WALL", 0, 0, 100, 0);
//     dxf.write(dir.filePath("plan.dxf"));
//
// The file is a plain R2007 (AC1021, UTF-8) entities-only DXF, enough for the host's
// reader; layers are written in the order added (layer "0" first unless added).
class DxfFixture {
public:
    struct LayerState {
        LayerState() {}
        bool on = true;
        bool frozen = false;
        bool locked = false;
        QString linetype = QStringLiteral("CONTINUOUS");
    };

    void addLinetype(const QString& name, const QString& description = {});
    void addLayer(const QString& name, int color, const LayerState& state);
    void addLayer(const QString& name, int color = 7) { addLayer(name, color, LayerState()); }
    void addLine(const QString& layer, double x1, double y1, double x2, double y2);
    void addCircle(const QString& layer, double cx, double cy, double r);
    void addText(const QString& layer, double x, double y, double height, const QString& text);

    QString text() const;
    // Writes the file; returns false when it cannot be written.
    bool write(const QString& path) const;

private:
    QStringList m_linetypes;
    QStringList m_layers;
    QStringList m_entities;
    bool m_hasZero = false;
};

} // namespace korvel::test
