#pragma once

#include <QString>

// A pattern the user types to pick layers by name. Plain text matches any name that
// contains it; text with `*` (any run of characters) or `?` (one character) must match
// the whole name, as CAD users write layer filters. Letter case never counts, since the
// CAD's own layer names compare without it.
class LayerNamePattern {
public:
    explicit LayerNamePattern(const QString& text = QString());

    bool isEmpty() const { return m_text.isEmpty(); }
    bool isWildcard() const { return m_wildcard; }
    bool matches(const QString& name) const;

private:
    bool wildcardMatch(const QString& name) const;

    QString m_text; // case-folded
    bool m_wildcard = false;
};
