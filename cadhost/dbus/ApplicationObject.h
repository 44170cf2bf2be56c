#pragma once

#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>

namespace cadhost {
class CadApplication;
class Drawing;
} // namespace cadhost

namespace cadhost::dbus {

// /Application: the CAD application on the bus. Documents are answered as object
// paths "/Documents/<n>" (D-Bus type "o").
class ApplicationObject : public QObject, protected QDBusContext {
    Q_OBJECT
    // moc wants a literal here: the same name as acadbus::kApplicationInterface, which the
    // viewer's tests against the real host hold it to.
    Q_CLASSINFO("D-Bus Interface", "AutoCAD.Application")
    Q_PROPERTY(bool Visible READ visible WRITE setVisible)
    Q_PROPERTY(QString Caption READ caption)
    // Where the host also answers the same objects without the bus in between (its
    // private socket, "unix:abstract=..."); empty when it does not.
    Q_PROPERTY(QString PeerAddress READ peerAddress)
public:
    explicit ApplicationObject(CadApplication* application, QObject* parent = nullptr);

    bool visible() const;
    void setVisible(bool visible);
    QString caption() const;
    QString peerAddress() const { return m_peerAddress; }
    void setPeerAddress(const QString& address) { m_peerAddress = address; }

    static QDBusObjectPath documentPath(int number);

public slots:
    Q_SCRIPTABLE QDBusObjectPath ActiveDocument();
    Q_SCRIPTABLE void LoadDVB(const QString& path);
    Q_SCRIPTABLE void RunMacro(const QString& name);
    Q_SCRIPTABLE QDBusObjectPath Open(const QString& path);
    Q_SCRIPTABLE QDBusObjectPath Add();

private:
    QDBusObjectPath pathOf(Drawing* drawing) const;

    CadApplication* m_application;
    QString m_peerAddress;
};

} // namespace cadhost::dbus
