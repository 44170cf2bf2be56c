#include "cadhost/dxf/LayerNameLimit.h"

#include "cadhost/model/Drawing.h"

namespace cadhost::dxf::detail {

namespace {

constexpr qsizetype kLimit = Drawing::kMaxLayerNameLength;

// The first `length` characters, a character of two halves kept whole or left out.
QString head(const QString& name, qsizetype length) {
    QString cut = name.left(length);
    if (!cut.isEmpty() && cut.back().isHighSurrogate())
        cut.chop(1);
    return cut;
}

} // namespace

void LayerNameLimit::note(const QString& name) {
    const QString key = Drawing::nameKey(name);
    if (name.size() <= kLimit) {
        m_within.insert(key);
        return;
    }
    if (m_cut.contains(key))
        return;
    m_order << key;
    m_cut.insert(key, name);
}

void LayerNameLimit::settle() {
    QSet<QString> taken = m_within;
    for (const QString& key : std::as_const(m_order)) {
        const QString name = m_cut.value(key);
        QString cut = head(name, kLimit);
        for (int n = 2; taken.contains(Drawing::nameKey(cut)); ++n) {
            const QString suffix = QStringLiteral("~%1").arg(n);
            cut = head(name, kLimit - suffix.size()) + suffix;
        }
        taken.insert(Drawing::nameKey(cut));
        m_cut[key] = cut;
    }
}

QString LayerNameLimit::operator()(const QString& name) const {
    if (name.size() <= kLimit)
        return name;
    return m_cut.value(Drawing::nameKey(name), name);
}

QStringList LayerNameLimit::warnings() const {
    QStringList lines;
    for (const QString& key : m_order)
        lines << QStringLiteral("a layer name longer than %1 characters was cut to \"%2\"")
                     .arg(kLimit)
                     .arg(m_cut.value(key));
    return lines;
}

} // namespace cadhost::dxf::detail
