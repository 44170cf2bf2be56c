#include "cadhost/dbus/ApplicationObject.h"

#include "cadhost/dbus/AutomationCall.h"
#include "cadhost/model/CadApplication.h"

namespace cadhost::dbus {

ApplicationObject::ApplicationObject(CadApplication* application, QObject* parent)
    : QObject(parent), m_application(application) {}

bool ApplicationObject::visible() const {
    return m_application->visible();
}

void ApplicationObject::setVisible(bool visible) {
    m_application->setVisible(visible);
}

QString ApplicationObject::caption() const {
    return m_application->caption();
}

QDBusObjectPath ApplicationObject::documentPath(int number) {
    return QDBusObjectPath(QStringLiteral("/Documents/%1").arg(number));
}

QDBusObjectPath ApplicationObject::pathOf(Drawing* drawing) const {
    return documentPath(m_application->documentNumber(drawing));
}

QDBusObjectPath ApplicationObject::ActiveDocument() {
    return guarded(*this, [&] { return pathOf(m_application->activeDocument()); });
}

void ApplicationObject::LoadDVB(const QString& path) {
    guarded(*this, [&] { m_application->loadDVB(path); });
}

void ApplicationObject::RunMacro(const QString& name) {
    guarded(*this, [&] { m_application->runMacro(name); });
}

QDBusObjectPath ApplicationObject::Open(const QString& path) {
    return guarded(*this, [&] { return pathOf(m_application->open(path)); });
}

QDBusObjectPath ApplicationObject::Add() {
    return guarded(*this, [&] { return pathOf(m_application->add()); });
}

} // namespace cadhost::dbus
