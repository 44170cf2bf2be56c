#pragma once

// A connector that passes every call through to the real one and counts the calls the
// viewer makes on its documents, by member. Tests use it to see what a command asked of
// the host (a regeneration has no other trace the host exposes); benchmarks to tell how
// many round trips a command costs.

#include "acad/AcadBackend.h"
#include "acad/Connector.h"

#include <QHash>
#include <QString>
#include <memory>

namespace korvel::test {

struct CallCounts {
    QHash<QString, int> byMember;
    int total() const {
        int n = 0;
        for (int c : byMember)
            n += c;
        return n;
    }
    int operator[](const QString& member) const { return byMember.value(member); }
    void clear() { byMember.clear(); }
};

class CountingDocument : public acad::DocumentBackend {
public:
    CountingDocument(std::shared_ptr<acad::DocumentBackend> inner,
                     std::shared_ptr<CallCounts> counts)
        : m_inner(std::move(inner)), m_counts(std::move(counts)) {}

    QString name() override {
        count("Name");
        return m_inner->name();
    }
    QString fullName() override {
        count("FullName");
        return m_inner->fullName();
    }
    QString getActiveLayer() override {
        count("GetActiveLayer");
        return m_inner->getActiveLayer();
    }
    void setActiveLayer(const QString& name) override {
        count("SetActiveLayer");
        m_inner->setActiveLayer(name);
    }
    void regen(int which) override {
        count("Regen");
        m_inner->regen(which);
    }
    int layerCount() override {
        count("LayerCount");
        return m_inner->layerCount();
    }
    QString layerName(int index) override {
        count("LayerName");
        return m_inner->layerName(index);
    }
    QVariant getLayerProperty(const QString& layer, const QString& property) override {
        count("GetLayerProperty");
        return m_inner->getLayerProperty(layer, property);
    }
    void setLayerProperty(const QString& layer, const QString& property,
                          const QVariant& value) override {
        count("SetLayerProperty");
        m_inner->setLayerProperty(layer, property, value);
    }
    QStringList linetypeNames() override {
        count("LinetypeNames");
        return m_inner->linetypeNames();
    }
    int selectionSetCount() override {
        count("SelectionSetCount");
        return m_inner->selectionSetCount();
    }
    void deleteSelectionSet(int index) override {
        count("DeleteSelectionSet");
        m_inner->deleteSelectionSet(index);
    }
    void addSelectionSet(const QString& name) override {
        count("AddSelectionSet");
        m_inner->addSelectionSet(name);
    }
    void clearSelectionSet(const QString& name) override {
        count("ClearSelectionSet");
        m_inner->clearSelectionSet(name);
    }
    void selectAll(const QString& name, const QList<int>& codes,
                   const QVariantList& values) override {
        count("SelectAll");
        m_inner->selectAll(name, codes, values);
    }
    int selectionSetSize(const QString& name) override {
        count("SelectionSetSize");
        return m_inner->selectionSetSize(name);
    }

private:
    void count(const char* member) { ++m_counts->byMember[QString::fromLatin1(member)]; }

    std::shared_ptr<acad::DocumentBackend> m_inner;
    std::shared_ptr<CallCounts> m_counts;
};

class CountingApplication : public acad::ApplicationBackend {
public:
    CountingApplication(std::shared_ptr<acad::ApplicationBackend> inner,
                        std::shared_ptr<CallCounts> counts)
        : m_inner(std::move(inner)), m_counts(std::move(counts)) {}

    bool visible() override { return m_inner->visible(); }
    void setVisible(bool visible) override { m_inner->setVisible(visible); }
    QString caption() override { return m_inner->caption(); }
    std::shared_ptr<acad::DocumentBackend> activeDocument() override {
        return std::make_shared<CountingDocument>(m_inner->activeDocument(), m_counts);
    }
    void loadDVB(const QString& path) override { m_inner->loadDVB(path); }
    void runMacro(const QString& name) override { m_inner->runMacro(name); }
    std::shared_ptr<acad::DocumentBackend> open(const QString& path) override {
        ++m_counts->byMember[QStringLiteral("Open")];
        return std::make_shared<CountingDocument>(m_inner->open(path), m_counts);
    }
    void checkConnection() const override { m_inner->checkConnection(); }

private:
    std::shared_ptr<acad::ApplicationBackend> m_inner;
    std::shared_ptr<CallCounts> m_counts;
};

class CountingConnector : public acad::Connector {
public:
    explicit CountingConnector(std::shared_ptr<acad::Connector> inner)
        : m_inner(std::move(inner)), m_counts(std::make_shared<CallCounts>()) {}

    std::shared_ptr<acad::ApplicationBackend> attach() override {
        return std::make_shared<CountingApplication>(m_inner->attach(), m_counts);
    }
    std::shared_ptr<acad::ApplicationBackend> create() override {
        return std::make_shared<CountingApplication>(m_inner->create(), m_counts);
    }
    CallCounts& counts() { return *m_counts; }

private:
    std::shared_ptr<acad::Connector> m_inner;
    std::shared_ptr<CallCounts> m_counts;
};

} // namespace korvel::test
