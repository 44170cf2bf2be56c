#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <memory>

namespace acad {

// The CAD's automation surface as the viewer reaches it. Two implementations exist:
// the D-Bus client that talks to a running cadhost, and an in-process one over the
// same drawing model (tests). Every member may throw platform::AutomationError with
// the CAD's error number. Members mirror the bus interface one to one, so the object
// model in this folder (AcadLayers, AcadLayer, ...) is written once over both.
class DocumentBackend {
public:
    virtual ~DocumentBackend() = default;

    virtual QString name() = 0;
    virtual QString fullName() = 0;

    virtual QString getActiveLayer() = 0;
    virtual void setActiveLayer(const QString& name) = 0;
    virtual void regen(int which) = 0;

    virtual int layerCount() = 0;
    virtual QString layerName(int index) = 0; // 0-based
    virtual QVariant getLayerProperty(const QString& layer, const QString& property) = 0;
    virtual void setLayerProperty(const QString& layer, const QString& property,
                                  const QVariant& value) = 0;

    virtual QStringList linetypeNames() = 0;

    virtual int selectionSetCount() = 0;
    virtual void deleteSelectionSet(int index) = 0;
    virtual void addSelectionSet(const QString& name) = 0;
    virtual void clearSelectionSet(const QString& name) = 0;
    virtual void selectAll(const QString& name, const QList<int>& codes,
                           const QVariantList& values) = 0;
    virtual int selectionSetSize(const QString& name) = 0;
};

class ApplicationBackend {
public:
    virtual ~ApplicationBackend() = default;

    virtual bool visible() = 0;
    virtual void setVisible(bool visible) = 0;
    virtual QString caption() = 0;
    virtual std::shared_ptr<DocumentBackend> activeDocument() = 0;
    virtual void loadDVB(const QString& path) = 0;
    virtual void runMacro(const QString& name) = 0;
    // Opens the drawing file, or activates it when it is open already, and makes it the
    // active document.
    virtual std::shared_ptr<DocumentBackend> open(const QString& path) = 0;
    // Raises the connection's failure once the CAD stopped answering, so a long task
    // can end at once instead of asking again and again; nothing while it answers.
    virtual void checkConnection() const {}
};

} // namespace acad
