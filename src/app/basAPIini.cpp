#include "basAPIini.h"

#include "platform/FileAttributes.h"
#include "platform/Profile.h"
#include "platform/ProgramFolder.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"
#include "platform/VbNumeric.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace basAPIini {

bool pu_bIniWrite = false;

namespace {
constexpr qint32 kBufferSize = 255;

// Files this run created on a drive that is not fixed: their settings are kept from the
// next start on only, so finding such a file existing later in the same run must not
// open it for writing.
QSet<QString>& createdOffFixedDrive() {
    static QSet<QString> files;
    return files;
}

QString trimSpaces(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] == QLatin1Char(' '))
        ++b;
    while (e > b && s[e - 1] == QLatin1Char(' '))
        --e;
    return s.mid(b, e - b);
}
} // namespace

void SetINI(QString& sIniFileName) {
    if (sIniFileName.isEmpty())
        return;
    if (QDir::isRelativePath(sIniFileName)) {
        // Made absolute even when the program folder itself is given relatively, so a
        // second call finds a complete name and leaves it alone.
        // Beside the program in a portable copy, in the user's config folder otherwise.
        const platform::FileLayout layout = platform::fileLayout();
        if (!layout.portable)
            QDir().mkpath(layout.settings);
        sIniFileName = QDir::cleanPath(QDir(layout.settings).absoluteFilePath(sIniFileName));
    }

    const QFileInfo info(sIniFileName);
    if (info.exists()) {
        if (!createdOffFixedDrive().contains(sIniFileName))
            pu_bIniWrite = !platform::isReadOnly(sIniFileName);
        return;
    }
    const bool fixed = platform::driveType(sIniFileName) == platform::DriveType::Fixed;
    if (fixed)
        pu_bIniWrite = true;
    QFile file(sIniFileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        // No settings can be kept here; the viewer goes on with its defaults.
        pu_bIniWrite = false;
        return;
    }
    if (!fixed)
        createdOffFixedDrive().insert(sIniFileName);
}

QVariant GetINI(QString& sIniFileName, const QString& Section, const QString& Key,
                const QVariant& Default, bool Integeral) {
    SetINI(sIniFileName);
    if (Integeral) {
        const auto number = platform::vb::variantToNumber(Default);
        if (!number)
            throw platform::vbError(platform::vberr::TypeMismatch);
        const qint32 def = platform::vb::CLng(*number);
        return platform::profile::getInt(sIniFileName, Section, Key, def);
    }
    QString buffer;
    const qint32 copied = platform::profile::getString(
        sIniFileName, Section, Key, platform::vb::CStr(Default), buffer, kBufferSize);
    if (copied == 0)
        return QString();
    const qsizetype nul = buffer.indexOf(QChar(0));
    if (nul >= 0)
        buffer.truncate(nul);
    return trimSpaces(buffer);
}

qint32 WriteINI(QString& sIniFileName, const QString& Section, const QString& Key,
                const QVariant& WriteString) {
    SetINI(sIniFileName);
    if (!pu_bIniWrite)
        return 0;
    return platform::profile::writeString(sIniFileName, Section, Key,
                                          platform::vb::CStr(WriteString))
               ? 1
               : 0;
}

void resetRunStateForTesting() {
    createdOffFixedDrive().clear();
}

} // namespace basAPIini
