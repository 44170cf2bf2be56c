#pragma once

#include <QDBusContext>
#include <QDBusVariant>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantList>

namespace cadhost {
class Drawing;
}

namespace cadhost::dbus {

// /Documents/<n>: one drawing on the bus. Every member forwards to Drawing; failures
// reach the client as AutoCAD.Error with the CAD's number.
class DocumentObject : public QObject, protected QDBusContext {
    Q_OBJECT
    // moc wants a literal here: the same name as acadbus::kDocumentInterface, which the
    // viewer's tests against the real host hold it to.
    Q_CLASSINFO("D-Bus Interface", "AutoCAD.Document")
    Q_PROPERTY(QString Name READ name)
    Q_PROPERTY(QString FullName READ fullName)
public:
    explicit DocumentObject(Drawing* drawing, QObject* parent = nullptr);

    QString name() const;
    QString fullName() const;

public slots:
    Q_SCRIPTABLE QString GetActiveLayer();
    Q_SCRIPTABLE void SetActiveLayer(const QString& name);
    Q_SCRIPTABLE void Regen(int which);
    Q_SCRIPTABLE int LayerCount();
    Q_SCRIPTABLE QString LayerName(int index);
    Q_SCRIPTABLE QDBusVariant GetLayerProperty(const QString& layer, const QString& property);
    Q_SCRIPTABLE void SetLayerProperty(const QString& layer, const QString& property,
                                       const QDBusVariant& value);
    Q_SCRIPTABLE QStringList LinetypeNames();
    Q_SCRIPTABLE int SelectionSetCount();
    Q_SCRIPTABLE void DeleteSelectionSet(int index);
    Q_SCRIPTABLE void AddSelectionSet(const QString& name);
    Q_SCRIPTABLE void ClearSelectionSet(const QString& name);
    Q_SCRIPTABLE void SelectAll(const QString& name, const QList<int>& codes,
                                const QVariantList& values);
    Q_SCRIPTABLE int SelectionSetSize(const QString& name);
    Q_SCRIPTABLE void AddLayer(const QString& name);
    Q_SCRIPTABLE void DeleteLayer(const QString& name);
    Q_SCRIPTABLE void Save();
    Q_SCRIPTABLE void SaveAs(const QString& path);

private:
    Drawing& drawing();

    QPointer<Drawing> m_drawing;
};

} // namespace cadhost::dbus
