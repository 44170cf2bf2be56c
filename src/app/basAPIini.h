#pragma once

#include <QString>
#include <QVariant>

// The settings file helpers: the viewer keeps its window position in "TARNIX.ini" beside
// the program and reaches it only through these three calls.
namespace basAPIini {

// Whether the settings file may be written; every helper call decides it afresh.
extern bool pu_bIniWrite;

// Completes a relative name to the program folder (once: the result is absolute), creates
// the file when it is missing and decides pu_bIniWrite: an existing file is writable unless
// it is read-only; a new file on a fixed drive is writable, elsewhere pu_bIniWrite keeps
// its value, so a first start from a removable or network drive saves nothing (also when
// later calls of the same run find the file it created). A file
// that cannot be created throws nothing: pu_bIniWrite becomes False and readers get their
// defaults.
void SetINI(QString& sIniFileName);

// Integeral True: the key's whole number (qint32), `Default` when it is missing.
// Integeral False: the key's text (at most 254 characters, blanks trimmed), `Default` as
// text when it is missing.
QVariant GetINI(QString& sIniFileName, const QString& Section, const QString& Key,
                const QVariant& Default, bool Integeral);

// Writes the value as text when pu_bIniWrite allows it; 1 when written, 0 otherwise.
qint32 WriteINI(QString& sIniFileName, const QString& Section, const QString& Key,
                const QVariant& WriteString);

// Forgets which files this run created, as a restart of the program does.
void resetRunStateForTesting();

} // namespace basAPIini
