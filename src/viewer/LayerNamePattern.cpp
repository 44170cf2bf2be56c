#include "LayerNamePattern.h"

namespace {

bool sameChar(QChar a, QChar folded) {
    return a == folded || a.toCaseFolded() == folded;
}

} // namespace

LayerNamePattern::LayerNamePattern(const QString& text)
    : m_text(text.toCaseFolded()),
      m_wildcard(text.contains(QLatin1Char('*')) || text.contains(QLatin1Char('?'))) {}

bool LayerNamePattern::matches(const QString& name) const {
    if (m_text.isEmpty())
        return false;
    if (!m_wildcard)
        return name.contains(m_text, Qt::CaseInsensitive);
    return wildcardMatch(name);
}

// The greedy walk with one point to come back to (the last `*`): linear in practice,
// and no pattern makes it worse than name length times pattern length. No allocation,
// since it runs for every layer at every key.
bool LayerNamePattern::wildcardMatch(const QString& name) const {
    const qsizetype n = name.size();
    const qsizetype m = m_text.size();
    qsizetype i = 0, p = 0;
    qsizetype starP = -1, starI = 0;
    while (i < n) {
        if (p < m && m_text[p] == QLatin1Char('*')) {
            starP = p++;
            starI = i;
        } else if (p < m && (m_text[p] == QLatin1Char('?') || sameChar(name[i], m_text[p]))) {
            ++i;
            ++p;
        } else if (starP >= 0) {
            p = starP + 1;
            i = ++starI;
        } else {
            return false;
        }
    }
    while (p < m && m_text[p] == QLatin1Char('*'))
        ++p;
    return p == m;
}
