#pragma once

#include "platform/VbError.h"

#include <QString>
#include <QStringList>
#include <memory>

// The two reports every command shares: the unexpected-error box, and the message
// for a layer that the drawing no longer has.
namespace ErrorReport {

inline const QString kTitle = QStringLiteral("KORVEL Ver4.00");

// "予期せぬエラーが <procedure> で発生しました。" with the number and description.
QString unexpectedErrorText(const QString& procedure, qint32 number, const QString& description);
void showUnexpectedError(const QString& procedure, qint32 number, const QString& description);
void showUnexpectedError(const QString& procedure, const platform::VbError& error);
// For failures that are not VbErrors (std::bad_alloc and the like): number 0 would
// hide them, so they report as VB's "internal error" 51 with their own text.
void showUnexpectedError(const QString& procedure, const std::exception& error);

QString staleDrawingText();
void showStaleDrawingMessage();

// Every failure report goes through here: a box with the system's title, shown at once,
// or held while a Batch lives.
void show(const QString& text, int buttons);

// "A、B、C ほか 17 画層": the first `shown` names, and how many more there are.
QString layerNamesText(const QStringList& names, qsizetype shown);

// Holds the failure reports of one command and shows them as one box when the command
// ends: a command over many layers would otherwise show a box for every layer that fails,
// thousands one after another with no way out. The box is the first failure's, followed
// by how many layers failed and the first of them by name; a failure of the command itself
// (reported outside any AboutLayer) comes before those of its layers. Batches nest; the
// outermost one shows the box.
class Batch {
public:
    Batch();
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    // The program is ending and nobody is left to read a box: what was held goes to the
    // log instead.
    void dropHeld();

    struct State;

private:
    std::unique_ptr<State> m_state;
};

// Names the layer that the failures reported while it lives concern.
class AboutLayer {
public:
    explicit AboutLayer(const QString& name);
    ~AboutLayer();
    AboutLayer(const AboutLayer&) = delete;
    AboutLayer& operator=(const AboutLayer&) = delete;

private:
    QString m_previous;
};

} // namespace ErrorReport
