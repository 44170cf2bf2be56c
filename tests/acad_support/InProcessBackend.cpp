#include "InProcessBackend.h"

#include "cadhost/model/CadApplication.h"
#include "cadhost/model/Drawing.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"

namespace acad::inprocess {
namespace {

[[noreturn]] void throwDisconnected() {
    throw platform::AutomationError(
        kObjectDisconnected,
        QStringLiteral("The object invoked has disconnected from its clients."));
}

} // namespace

DocumentBackend::DocumentBackend(cadhost::Drawing* drawing) : m_drawing(drawing) {}

cadhost::Drawing& DocumentBackend::d() {
    if (!m_drawing)
        throwDisconnected();
    return *m_drawing;
}

QString DocumentBackend::name() {
    return d().name();
}
QString DocumentBackend::fullName() {
    return d().fullName();
}
QString DocumentBackend::getActiveLayer() {
    return d().getActiveLayer();
}
void DocumentBackend::setActiveLayer(const QString& name) {
    d().setActiveLayer(name);
}
void DocumentBackend::regen(int which) {
    d().regen(which);
}
int DocumentBackend::layerCount() {
    return d().layerCount();
}
QString DocumentBackend::layerName(int index) {
    return d().layerName(index);
}
QVariant DocumentBackend::getLayerProperty(const QString& layer, const QString& property) {
    return d().getLayerProperty(layer, property);
}
void DocumentBackend::setLayerProperty(const QString& layer, const QString& property,
                                       const QVariant& value) {
    d().setLayerProperty(layer, property, value);
}
QStringList DocumentBackend::linetypeNames() {
    return d().linetypeNames();
}
int DocumentBackend::selectionSetCount() {
    return d().selectionSetCount();
}
void DocumentBackend::deleteSelectionSet(int index) {
    d().deleteSelectionSet(index);
}
void DocumentBackend::addSelectionSet(const QString& name) {
    d().addSelectionSet(name);
}
void DocumentBackend::clearSelectionSet(const QString& name) {
    d().clearSelectionSet(name);
}
void DocumentBackend::selectAll(const QString& name, const QList<int>& codes,
                                const QVariantList& values) {
    d().selectAll(name, codes, values);
}
int DocumentBackend::selectionSetSize(const QString& name) {
    return d().selectionSetSize(name);
}

ApplicationBackend::ApplicationBackend(cadhost::CadApplication* app) : m_app(app) {}

cadhost::CadApplication& ApplicationBackend::a() {
    if (!m_app)
        throwDisconnected();
    return *m_app;
}

bool ApplicationBackend::visible() {
    return a().visible();
}
void ApplicationBackend::setVisible(bool visible) {
    a().setVisible(visible);
}
QString ApplicationBackend::caption() {
    return a().caption();
}
std::shared_ptr<acad::DocumentBackend> ApplicationBackend::activeDocument() {
    return std::make_shared<DocumentBackend>(a().activeDocument());
}
void ApplicationBackend::loadDVB(const QString& path) {
    a().loadDVB(path);
}
void ApplicationBackend::runMacro(const QString& name) {
    a().runMacro(name);
}
std::shared_ptr<acad::DocumentBackend> ApplicationBackend::open(const QString& path) {
    return std::make_shared<DocumentBackend>(a().open(path));
}

std::shared_ptr<acad::ApplicationBackend> Connector::attach() {
    ++attachCalls;
    if (!m_running)
        throw platform::automationError(429);
    return std::make_shared<ApplicationBackend>(m_running);
}

std::shared_ptr<acad::ApplicationBackend> Connector::create() {
    ++createCalls;
    if (m_onCreate)
        m_onCreate();
    cadhost::CadApplication* app = m_factory ? m_factory() : nullptr;
    if (!app)
        throw platform::automationError(429);
    lastCreated = app;
    m_running = app;
    return std::make_shared<ApplicationBackend>(app);
}

} // namespace acad::inprocess
