#pragma once

#include "acad/AcadBackend.h"
#include "platform/VbError.h"

#include <QStringList>
#include <functional>
#include <memory>

// Wraps a document backend and writes down every call ("getLayerProperty Walls Lock"),
// so tests can check how many round trips the viewer makes and in which order, and can
// make one chosen call fail.
class RecordingDocument : public acad::DocumentBackend {
public:
    explicit RecordingDocument(std::shared_ptr<acad::DocumentBackend> inner)
        : m_inner(std::move(inner)) {}

    QStringList calls;
    // Returns true for the call (as recorded) that is to fail with failNumber.
    std::function<bool(const QString&)> failWhen;
    qint32 failNumber = static_cast<qint32>(0x80010105u);

    int count(const QString& prefix) const {
        int n = 0;
        for (const QString& c : calls)
            n += c.startsWith(prefix) ? 1 : 0;
        return n;
    }

    QString name() override {
        rec(QStringLiteral("name"));
        return m_inner->name();
    }
    QString fullName() override {
        rec(QStringLiteral("fullName"));
        return m_inner->fullName();
    }
    QString getActiveLayer() override {
        rec(QStringLiteral("getActiveLayer"));
        return m_inner->getActiveLayer();
    }
    void setActiveLayer(const QString& n) override {
        rec(QStringLiteral("setActiveLayer ") + n);
        m_inner->setActiveLayer(n);
    }
    void regen(int which) override {
        rec(QStringLiteral("regen %1").arg(which));
        m_inner->regen(which);
    }
    int layerCount() override {
        rec(QStringLiteral("layerCount"));
        return m_inner->layerCount();
    }
    QString layerName(int i) override {
        rec(QStringLiteral("layerName %1").arg(i));
        return m_inner->layerName(i);
    }
    QVariant getLayerProperty(const QString& l, const QString& p) override {
        rec(QStringLiteral("getLayerProperty ") + l + QLatin1Char(' ') + p);
        return m_inner->getLayerProperty(l, p);
    }
    void setLayerProperty(const QString& l, const QString& p, const QVariant& v) override {
        rec(QStringLiteral("setLayerProperty ") + l + QLatin1Char(' ') + p);
        m_inner->setLayerProperty(l, p, v);
    }
    QStringList linetypeNames() override {
        rec(QStringLiteral("linetypeNames"));
        return m_inner->linetypeNames();
    }
    int selectionSetCount() override {
        rec(QStringLiteral("selectionSetCount"));
        return m_inner->selectionSetCount();
    }
    void deleteSelectionSet(int i) override {
        rec(QStringLiteral("deleteSelectionSet %1").arg(i));
        m_inner->deleteSelectionSet(i);
    }
    void addSelectionSet(const QString& n) override {
        rec(QStringLiteral("addSelectionSet ") + n);
        m_inner->addSelectionSet(n);
    }
    void clearSelectionSet(const QString& n) override {
        rec(QStringLiteral("clearSelectionSet ") + n);
        m_inner->clearSelectionSet(n);
    }
    void selectAll(const QString& n, const QList<int>& c, const QVariantList& v) override {
        QStringList parts;
        for (int i = 0; i < c.size(); ++i)
            parts << QStringLiteral("%1=%2").arg(c[i]).arg(i < v.size() ? v[i].toString()
                                                                        : QStringLiteral("?"));
        rec(QStringLiteral("selectAll ") + n + QLatin1Char(' ') + parts.join(QLatin1Char(',')));
        m_inner->selectAll(n, c, v);
    }
    int selectionSetSize(const QString& n) override {
        rec(QStringLiteral("selectionSetSize ") + n);
        return m_inner->selectionSetSize(n);
    }

private:
    void rec(const QString& call) {
        calls << call;
        if (failWhen && failWhen(call))
            throw platform::AutomationError(failNumber, QStringLiteral("injected: ") + call);
    }
    std::shared_ptr<acad::DocumentBackend> m_inner;
};
