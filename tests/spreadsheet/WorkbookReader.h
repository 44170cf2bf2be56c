#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <gtest/gtest.h>

namespace korvel::test {

// What the workbook at `path` holds, as read by openpyxl and by parsing its parts in
// Python (read_workbook.py): none of the writer's code takes part. An empty object, with
// a test failure, when the workbook cannot be read.
inline QJsonObject readWorkbook(const QString& path) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(KORVEL_SOURCE_DIR "/tests/spreadsheet/read_workbook.py"), path});
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit ||
        python.exitCode() != 0) {
        ADD_FAILURE() << "reading " << path.toStdString()
                      << " failed: " << python.readAllStandardError().toStdString();
        return {};
    }
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(python.readAllStandardOutput(), &error);
    if (!json.isObject())
        ADD_FAILURE() << "unreadable reply: " << error.errorString().toStdString();
    return json.object();
}

} // namespace korvel::test
