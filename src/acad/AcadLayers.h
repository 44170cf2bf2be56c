#pragma once

#include "acad/AcadLayer.h"

#include <functional>
#include <memory>

namespace acad {

// The drawing's layer collection in the drawing's own order.
class AcadLayers {
public:
    explicit AcadLayers(std::shared_ptr<DocumentBackend> doc) : m_doc(std::move(doc)) {}

    int Count();
    // No call: the CAD checks the name when the layer is first used.
    AcadLayer Item(const QString& sName) const { return AcadLayer(m_doc, sName); }
    // 0-based; one call to learn the name. Out of range raises the CAD's error.
    AcadLayer Item(int iIndex);

    // For Each: Count once, then the layers by index in collection order. An error
    // while enumerating ends the loop and reaches the caller.
    void forEach(const std::function<void(AcadLayer&)>& fn);

    class iterator {
    public:
        using value_type = AcadLayer;
        using difference_type = std::ptrdiff_t;
        iterator() = default;
        iterator(AcadLayers* owner, int index) : m_owner(owner), m_index(index) {}
        AcadLayer operator*() const { return m_owner->Item(m_index); }
        iterator& operator++() {
            ++m_index;
            return *this;
        }
        bool operator==(const iterator& other) const { return m_index == other.m_index; }

    private:
        AcadLayers* m_owner = nullptr;
        int m_index = 0;
    };
    // begin() asks for Count; a range-for therefore costs one Count call.
    iterator begin();
    iterator end() { return iterator(this, m_enumCount); }

private:
    std::shared_ptr<DocumentBackend> m_doc;
    int m_enumCount = 0;
};

} // namespace acad
