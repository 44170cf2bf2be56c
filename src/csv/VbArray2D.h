#pragma once

#include <QList>
#include <QVariant>

// A VB dynamic two-dimensional array of variants: any lower and upper bounds, elements
// Empty (an invalid QVariant) until set. It can be erased (no bounds at all) and, like
// "ReDim Preserve", grown or shrunk in its last dimension with its contents kept. Reading
// bounds of an erased array or an index outside the bounds raises VbError 9.
class VbArray2D {
public:
    VbArray2D() = default;
    VbArray2D(qint32 lower1, qint32 upper1, qint32 lower2, qint32 upper2);

    bool isAllocated() const { return m_allocated; }
    void erase();
    // ReDim: new bounds, every element Empty.
    void redim(qint32 lower1, qint32 upper1, qint32 lower2, qint32 upper2);
    // ReDim Preserve: only the upper bound of the last dimension may change; the other
    // bounds must stay as they are (VbError 9 otherwise, as VB raises).
    void redimPreserve(qint32 lower1, qint32 upper1, qint32 lower2, qint32 upper2);

    // dimension is 1 or 2, as VB's LBound/UBound take it.
    qint32 lbound(int dimension = 1) const;
    qint32 ubound(int dimension = 1) const;

    const QVariant& at(qint32 i, qint32 j) const;
    QVariant& operator()(qint32 i, qint32 j);
    const QVariant& operator()(qint32 i, qint32 j) const { return at(i, j); }

    bool operator==(const VbArray2D& other) const = default;

private:
    qsizetype offset(qint32 i, qint32 j) const;

    bool m_allocated = false;
    qint32 m_lower1 = 0, m_upper1 = -1, m_lower2 = 0, m_upper2 = -1;
    QList<QVariant> m_items; // first index runs fastest, so the last dimension grows at the end
};
