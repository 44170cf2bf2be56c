#include "LayerStateDialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QStandardPaths>

namespace {

const QString kFilter = QStringLiteral("画層状態 (*.csv)");

class QtLayerStateDialogs : public LayerStateDialogs {
public:
    std::optional<QString> askName(QWidget* parent, const QString& title,
                                   const QString& suggested) override {
        bool ok = false;
        const QString name = QInputDialog::getText(parent, title, QStringLiteral("名前:"),
                                                   QLineEdit::Normal, suggested, &ok);
        if (!ok)
            return std::nullopt;
        return name.trimmed();
    }
    std::optional<QString> chooseSet(QWidget* parent, const QString& title,
                                     const QStringList& names) override {
        bool ok = false;
        const QString name =
            QInputDialog::getItem(parent, title, QStringLiteral("画層状態:"), names, 0, false, &ok);
        if (!ok)
            return std::nullopt;
        return name;
    }
    QString exportFile(QWidget* parent, const QString& suggested) override {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return QFileDialog::getSaveFileName(parent, QStringLiteral("画層状態の書き出し"),
                                            folder + QLatin1Char('/') + suggested, kFilter);
    }
    QString importFile(QWidget* parent) override {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return QFileDialog::getOpenFileName(parent, QStringLiteral("画層状態の読み込み"), folder,
                                            kFilter);
    }
};

std::unique_ptr<LayerStateDialogs>& slot() {
    static std::unique_ptr<LayerStateDialogs> dialogs;
    return dialogs;
}

} // namespace

LayerStateDialogs& LayerStateDialogs::instance() {
    if (!slot())
        slot() = std::make_unique<QtLayerStateDialogs>();
    return *slot();
}

void LayerStateDialogs::setInstanceForTesting(std::unique_ptr<LayerStateDialogs> replacement) {
    slot() = std::move(replacement);
}
