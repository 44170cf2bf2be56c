#include "VbArray2D.h"

#include "platform/VbError.h"
#include "platform/VbErrorText.h"

namespace {
[[noreturn]] void subscriptOutOfRange() {
    throw platform::vbError(platform::vberr::SubscriptOutOfRange);
}
} // namespace

VbArray2D::VbArray2D(qint32 lower1, qint32 upper1, qint32 lower2, qint32 upper2) {
    redim(lower1, upper1, lower2, upper2);
}

void VbArray2D::erase() {
    *this = VbArray2D();
}

void VbArray2D::redim(qint32 lower1, qint32 upper1, qint32 lower2, qint32 upper2) {
    if (upper1 < lower1 - 1 || upper2 < lower2 - 1)
        subscriptOutOfRange();
    m_allocated = true;
    m_lower1 = lower1;
    m_upper1 = upper1;
    m_lower2 = lower2;
    m_upper2 = upper2;
    m_items = QList<QVariant>(qsizetype(upper1 - lower1 + 1) * (upper2 - lower2 + 1));
}

void VbArray2D::redimPreserve(qint32 lower1, qint32 upper1, qint32 lower2, qint32 upper2) {
    if (!m_allocated) {
        redim(lower1, upper1, lower2, upper2);
        return;
    }
    if (lower1 != m_lower1 || upper1 != m_upper1 || lower2 != m_lower2 || upper2 < lower2 - 1)
        subscriptOutOfRange();
    m_upper2 = upper2;
    m_items.resize(qsizetype(m_upper1 - m_lower1 + 1) * (m_upper2 - m_lower2 + 1));
}

qint32 VbArray2D::lbound(int dimension) const {
    if (!m_allocated || (dimension != 1 && dimension != 2))
        subscriptOutOfRange();
    return dimension == 1 ? m_lower1 : m_lower2;
}

qint32 VbArray2D::ubound(int dimension) const {
    if (!m_allocated || (dimension != 1 && dimension != 2))
        subscriptOutOfRange();
    return dimension == 1 ? m_upper1 : m_upper2;
}

qsizetype VbArray2D::offset(qint32 i, qint32 j) const {
    if (!m_allocated || i < m_lower1 || i > m_upper1 || j < m_lower2 || j > m_upper2)
        subscriptOutOfRange();
    return qsizetype(i - m_lower1) + qsizetype(j - m_lower2) * (m_upper1 - m_lower1 + 1);
}

const QVariant& VbArray2D::at(qint32 i, qint32 j) const {
    return m_items[offset(i, j)];
}

QVariant& VbArray2D::operator()(qint32 i, qint32 j) {
    return m_items[offset(i, j)];
}
