#include "DxfFixture.h"

#include <QFile>

namespace korvel::test {

namespace {
QString pair(int code, const QString& value) {
    return QStringLiteral("%1\n%2\n").arg(code).arg(value);
}
QString pair(int code, double value) {
    return pair(code, QString::number(value, 'g', 15));
}
} // namespace

void DxfFixture::addLinetype(const QString& name, const QString& description) {
    m_linetypes << pair(0, QStringLiteral("LTYPE")) + pair(2, name) +
                       pair(70, QStringLiteral("0")) + pair(3, description) +
                       pair(72, QStringLiteral("65")) + pair(73, QStringLiteral("0")) +
                       pair(40, 0.0);
}

void DxfFixture::addLayer(const QString& name, int color, const LayerState& state) {
    if (name == QLatin1String("0"))
        m_hasZero = true;
    int flags = 0;
    if (state.frozen)
        flags |= 1;
    if (state.locked)
        flags |= 4;
    m_layers << pair(0, QStringLiteral("LAYER")) + pair(2, name) +
                    pair(70, QString::number(flags)) +
                    pair(62, QString::number(state.on ? color : -color)) + pair(6, state.linetype);
}

void DxfFixture::addLine(const QString& layer, double x1, double y1, double x2, double y2) {
    m_entities << pair(0, QStringLiteral("LINE")) + pair(8, layer) + pair(10, x1) + pair(20, y1) +
                      pair(30, 0.0) + pair(11, x2) + pair(21, y2) + pair(31, 0.0);
}

void DxfFixture::addCircle(const QString& layer, double cx, double cy, double r) {
    m_entities << pair(0, QStringLiteral("CIRCLE")) + pair(8, layer) + pair(10, cx) + pair(20, cy) +
                      pair(30, 0.0) + pair(40, r);
}

void DxfFixture::addText(const QString& layer, double x, double y, double height,
                         const QString& text) {
    m_entities << pair(0, QStringLiteral("TEXT")) + pair(8, layer) + pair(10, x) + pair(20, y) +
                      pair(30, 0.0) + pair(40, height) + pair(1, text);
}

QString DxfFixture::text() const {
    QString out;
    out += pair(0, QStringLiteral("SECTION")) + pair(2, QStringLiteral("HEADER")) +
           pair(9, QStringLiteral("$ACADVER")) + pair(1, QStringLiteral("AC1021")) +
           pair(0, QStringLiteral("ENDSEC"));
    out += pair(0, QStringLiteral("SECTION")) + pair(2, QStringLiteral("TABLES"));
    out += pair(0, QStringLiteral("TABLE")) + pair(2, QStringLiteral("LTYPE")) +
           pair(70, QString::number(m_linetypes.size() + 1));
    out += pair(0, QStringLiteral("LTYPE")) + pair(2, QStringLiteral("CONTINUOUS")) +
           pair(70, QStringLiteral("0")) + pair(3, QStringLiteral("Solid line")) +
           pair(72, QStringLiteral("65")) + pair(73, QStringLiteral("0")) + pair(40, 0.0);
    out += m_linetypes.join(QString());
    out += pair(0, QStringLiteral("ENDTAB"));
    out += pair(0, QStringLiteral("TABLE")) + pair(2, QStringLiteral("LAYER")) +
           pair(70, QString::number(m_layers.size() + 1));
    if (!m_hasZero)
        out += pair(0, QStringLiteral("LAYER")) + pair(2, QStringLiteral("0")) +
               pair(70, QStringLiteral("0")) + pair(62, QStringLiteral("7")) +
               pair(6, QStringLiteral("CONTINUOUS"));
    out += m_layers.join(QString());
    out += pair(0, QStringLiteral("ENDTAB"));
    out += pair(0, QStringLiteral("ENDSEC"));
    out += pair(0, QStringLiteral("SECTION")) + pair(2, QStringLiteral("ENTITIES"));
    out += m_entities.join(QString());
    out += pair(0, QStringLiteral("ENDSEC")) + pair(0, QStringLiteral("EOF"));
    return out;
}

bool DxfFixture::write(const QString& path) const {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = text().toUtf8();
    return file.write(bytes) == bytes.size();
}

} // namespace korvel::test
