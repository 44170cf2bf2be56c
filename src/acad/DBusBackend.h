#pragma once

#include "acad/AcadBackend.h"
#include "acad/AutomationChannel.h"
#include "automation/CadErrorNumbers.h"

#include <QDBusError>

namespace platform {
class AutomationError;
}

namespace acad {

// Call timeouts. A call never waits forever: a host that hangs turns into an automation
// error. Ordinary calls touch the drawing model only and answer in milliseconds; loading
// the macro project compiles a script; a macro writes one metafile per layer and, on a
// drawing of a thousand layers and a few hundred thousand objects, runs for minutes.
namespace dbustimeout {
inline constexpr int kCallMs = 15000;
inline constexpr int kLoadDvbMs = 60000;
inline constexpr int kRunMacroMs = 600000;
} // namespace dbustimeout

// The timeouts one backend uses; tests of a hanging host shorten them.
struct DBusTimeouts {
    int callMs = dbustimeout::kCallMs;
    int loadDvbMs = dbustimeout::kLoadDvbMs;
    int runMacroMs = dbustimeout::kRunMacroMs;
};

// Error numbers for failures of the bus itself, as the CAD's automation reports them.
namespace dbuserr {
// The host is gone (name has no owner, connection lost).
inline constexpr qint32 RpcServerUnavailable = static_cast<qint32>(0x800706BAu);
// The call went out but no answer came (host died mid-call, or timed out).
inline constexpr qint32 RpcCallFailed = static_cast<qint32>(0x800706BEu);
// The host answered with something this client does not understand.
inline constexpr qint32 ServerFault = static_cast<qint32>(0x80010105u);
// "AutoCAD.Error" whose message lacks the number.
inline constexpr qint32 InvalidArgument = caderr::InvalidArgument;
} // namespace dbuserr

// "80200014: Key not found" -> {0x80200014, "Key not found"}; other bus failures map to
// the numbers above with the bus's own text as the description.
platform::AutomationError toAutomationError(const QDBusError& error);

// The application object at /Application of one host process.
class DBusApplicationBackend : public ApplicationBackend {
public:
    explicit DBusApplicationBackend(std::shared_ptr<AutomationChannel> channel,
                                    DBusTimeouts timeouts = {});

    bool visible() override;
    void setVisible(bool visible) override;
    QString caption() override;
    std::shared_ptr<DocumentBackend> activeDocument() override;
    void loadDVB(const QString& path) override;
    void runMacro(const QString& name) override;
    void checkConnection() const override { m_channel->throwIfFailed(); }

    std::shared_ptr<DocumentBackend> open(const QString& path) override;
    // Not used by the viewer; for tests and tools.
    std::shared_ptr<DocumentBackend> add();
    // The bus, or the host's private socket when it offered one.
    const AutomationChannel& channel() const { return *m_channel; }

private:
    std::shared_ptr<AutomationChannel> m_channel;
    DBusTimeouts m_timeouts;
};

// One document at /Documents/<n>.
class DBusDocumentBackend : public DocumentBackend {
public:
    DBusDocumentBackend(std::shared_ptr<AutomationChannel> channel, QString path,
                        DBusTimeouts timeouts = {});

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

    // Beyond the viewer's needs, for tests and tools.
    void addLayer(const QString& name);
    void deleteLayer(const QString& name);
    void save();
    void saveAs(const QString& path);

    const QString& path() const { return m_path; }

private:
    std::shared_ptr<AutomationChannel> m_channel;
    QString m_path;
    DBusTimeouts m_timeouts;
};

} // namespace acad
