#include "ErrorReport.h"

#include "platform/MsgBox.h"

#include <QDebug>
#include <QSet>

namespace ErrorReport {

struct Batch::State {
    // The box shown: the command's own first failure, else the first layer's.
    QString firstText;
    int firstButtons = 0;
    bool firstIsOwn = false;
    qsizetype reports = 0;
    // The layers named with the reports, in the order they first failed.
    QStringList layers;
    QSet<QString> seen;
};

namespace {

// The outermost living batch, and the layer the failures now reported concern.
Batch::State* g_batch = nullptr;
QString g_layer;

// How many layers a held box names.
constexpr qsizetype kLayersNamed = 5;

void hold(Batch::State& batch, const QString& text, int buttons) {
    const bool own = g_layer.isEmpty();
    if (batch.reports++ == 0 || (own && !batch.firstIsOwn)) {
        batch.firstText = text;
        batch.firstButtons = buttons;
        batch.firstIsOwn = own;
    }
    if (!g_layer.isEmpty() && !batch.seen.contains(g_layer)) {
        batch.seen.insert(g_layer);
        batch.layers << g_layer;
    }
}

} // namespace

void show(const QString& text, int buttons) {
    if (g_batch) {
        hold(*g_batch, text, buttons);
        return;
    }
    platform::MsgBox(text, buttons, kTitle);
}

QString layerNamesText(const QStringList& names, qsizetype shown) {
    QString list = names.mid(0, shown).join(QStringLiteral("、"));
    if (names.size() > shown)
        list += QStringLiteral(" ほか %1 画層").arg(names.size() - shown);
    return list;
}

Batch::Batch() {
    if (g_batch)
        return;
    m_state = std::make_unique<State>();
    g_batch = m_state.get();
}

Batch::~Batch() {
    if (!m_state)
        return;
    g_batch = nullptr;
    const State& batch = *m_state;
    if (batch.reports == 0)
        return;
    QString text = batch.firstText;
    if (batch.reports > 1 || batch.layers.size() > 1) {
        text += QStringLiteral("\r\r");
        if (batch.layers.isEmpty())
            text += QStringLiteral("失敗は全部で %1 件です。").arg(batch.reports);
        else
            text += QStringLiteral("失敗した画層は %1 画層です：").arg(batch.layers.size()) +
                    layerNamesText(batch.layers, kLayersNamed);
    }
    platform::MsgBox(text, batch.firstButtons, kTitle);
}

void Batch::dropHeld() {
    if (!m_state || m_state->reports == 0)
        return;
    qWarning().noquote() << m_state->firstText << "(" << m_state->reports << "failures )";
    m_state = std::make_unique<State>();
    g_batch = m_state.get();
}

AboutLayer::AboutLayer(const QString& name) : m_previous(g_layer) {
    g_layer = name;
}

AboutLayer::~AboutLayer() {
    g_layer = m_previous;
}

QString unexpectedErrorText(const QString& procedure, qint32 number, const QString& description) {
    return QStringLiteral("予期せぬエラーが ") + procedure + QStringLiteral(" で発生しました。") +
           QLatin1Char('\r') + QStringLiteral("番号：") + QString::number(number) +
           QLatin1Char('\r') + QStringLiteral("内容：") + description;
}

void showUnexpectedError(const QString& procedure, qint32 number, const QString& description) {
    show(unexpectedErrorText(procedure, number, description),
         platform::vbOKOnly | platform::vbCritical);
}

void showUnexpectedError(const QString& procedure, const platform::VbError& error) {
    showUnexpectedError(procedure, error.number(), error.description());
}

void showUnexpectedError(const QString& procedure, const std::exception& error) {
    if (auto* vb = dynamic_cast<const platform::VbError*>(&error)) {
        showUnexpectedError(procedure, *vb);
        return;
    }
    showUnexpectedError(procedure, platform::vberr::InternalError,
                        QString::fromLocal8Bit(error.what()));
}

QString staleDrawingText() {
    return QStringLiteral("前回更新した後にAutoCAD側で画層の追加・削除") + QLatin1Char('\r') +
           QStringLiteral(
               "又は線種の追加・削除をした可能性がある為更新ボタンで再度更新して下さい。");
}

void showStaleDrawingMessage() {
    show(staleDrawingText(), platform::vbOKOnly | platform::vbCritical);
}

} // namespace ErrorReport
