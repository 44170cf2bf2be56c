#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QWidget;

// The questions the layer-state commands ask the user: a name for a set, one of the
// saved sets, a file to export to or import from. Production asks with Qt's dialogs;
// tests install a scripted double, as they do for message boxes.
class LayerStateDialogs {
public:
    virtual ~LayerStateDialogs() = default;

    // Nothing when the user cancels.
    virtual std::optional<QString> askName(QWidget* parent, const QString& title,
                                           const QString& suggested) = 0;
    virtual std::optional<QString> chooseSet(QWidget* parent, const QString& title,
                                             const QStringList& names) = 0;
    // Empty when the user cancels.
    virtual QString exportFile(QWidget* parent, const QString& suggested) = 0;
    virtual QString importFile(QWidget* parent) = 0;

    static LayerStateDialogs& instance();
    // Null puts Qt's dialogs back.
    static void setInstanceForTesting(std::unique_ptr<LayerStateDialogs> replacement);
};
