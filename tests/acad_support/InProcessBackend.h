#pragma once

#include "acad/AcadBackend.h"
#include "acad/Connector.h"

#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "cadhost/model/CadApplication.h"
#include "cadhost/model/Drawing.h"

namespace acad::inprocess {

// What a reference to a document or application that no longer exists raises, as an
// automation client sees an object whose server let it go.
inline constexpr qint32 kObjectDisconnected = static_cast<qint32>(0x80010108u);

// The viewer's automation surface forwarded to cadhost's drawing model in this process,
// so viewer code runs against a real drawing without a bus. A reference dies with the
// drawing it was made for, as a bus reference does.
class DocumentBackend : public acad::DocumentBackend {
public:
    explicit DocumentBackend(cadhost::Drawing* drawing);

    QString name() override;
    QString fullName() override;
    QString getActiveLayer() override;
    void setActiveLayer(const QString& name) override;
    void regen(int which) override;
    int layerCount() override;
    QString layerName(int index) override;
    QVariant getLayerProperty(const QString& layer, const QString& property) override;
    void setLayerProperty(const QString& layer, const QString& property,
                          const QVariant& value) override;
    QStringList linetypeNames() override;
    int selectionSetCount() override;
    void deleteSelectionSet(int index) override;
    void addSelectionSet(const QString& name) override;
    void clearSelectionSet(const QString& name) override;
    void selectAll(const QString& name, const QList<int>& codes,
                   const QVariantList& values) override;
    int selectionSetSize(const QString& name) override;

    cadhost::Drawing* drawing() const { return m_drawing; }

private:
    cadhost::Drawing& d();
    QPointer<cadhost::Drawing> m_drawing;
};

class ApplicationBackend : public acad::ApplicationBackend {
public:
    explicit ApplicationBackend(cadhost::CadApplication* app);

    bool visible() override;
    void setVisible(bool visible) override;
    QString caption() override;
    std::shared_ptr<acad::DocumentBackend> activeDocument() override;
    void loadDVB(const QString& path) override;
    void runMacro(const QString& name) override;
    std::shared_ptr<acad::DocumentBackend> open(const QString& path) override;

    cadhost::CadApplication* application() const { return m_app; }

private:
    cadhost::CadApplication& a();
    QPointer<cadhost::CadApplication> m_app;
};

// A connector for tests of the connection: "running" is the application attach finds
// (none when null); create() builds one through the factory, or fails when there is
// none. Records how often each was tried.
class Connector : public acad::Connector {
public:
    using Factory = std::function<cadhost::CadApplication*()>;

    void setRunning(cadhost::CadApplication* app) { m_running = app; }
    void setFactory(Factory factory) { m_factory = std::move(factory); }
    // Called inside create(), before the instance exists: lets a test look at what the
    // user sees while the CAD starts.
    void setOnCreate(std::function<void()> hook) { m_onCreate = std::move(hook); }

    std::shared_ptr<acad::ApplicationBackend> attach() override;
    std::shared_ptr<acad::ApplicationBackend> create() override;

    int attachCalls = 0;
    int createCalls = 0;
    cadhost::CadApplication* lastCreated = nullptr;

private:
    QPointer<cadhost::CadApplication> m_running;
    Factory m_factory;
    std::function<void()> m_onCreate;
};

} // namespace acad::inprocess
