#pragma once

#include "acad/AutomationChannel.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace acad {

// Calls through a bus to one host process, addressed by its unique name so that a
// reference dies with the process it was made for.
class BusChannel : public AutomationChannel {
public:
    BusChannel(QDBusConnection bus, QString service);

    QVariantList call(const QString& path, const QString& interface, const QString& member,
                      const QVariantList& arguments, int timeoutMs) override;
    bool isDirect() const override { return false; }

private:
    QDBusMessage callPumping(const QDBusMessage& msg, int timeoutMs);

    QDBusConnection m_bus;
    QString m_service;
};

} // namespace acad
