#include "platform/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace platform::SafeFile {

namespace {

bool fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

bool renameOver(const QString& from, const QString& to, QString* error) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return fail(error, QString::fromLocal8Bit(std::strerror(errno)));
    return true;
}

} // namespace

bool write(const QString& path, const QByteArray& bytes, Sync sync, QString* error) {
    if (sync == Sync::ToDisk) {
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            return fail(error, out.errorString());
        if (out.write(bytes) != bytes.size()) {
            const QString reason = out.errorString();
            out.cancelWriting();
            return fail(error, reason);
        }
        if (!out.commit())
            return fail(error, out.errorString());
        return true;
    }
    QTemporaryFile temp(path + QStringLiteral(".XXXXXX"));
    temp.setAutoRemove(true);
    if (!temp.open())
        return fail(error, temp.errorString());
    if (temp.write(bytes) != bytes.size() || !temp.flush())
        return fail(error, temp.errorString());
    temp.close();
    if (!renameOver(temp.fileName(), path, error))
        return false;
    temp.setAutoRemove(false);
    return true;
}

bool writeVia(const QString& temporary, const QString& path, const QByteArray& bytes,
              QString* error) {
    QFile out(temporary);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(error, out.errorString());
    if (out.write(bytes) != bytes.size() || !out.flush() || ::fsync(out.handle()) != 0) {
        const QString reason = out.errorString();
        out.close();
        QFile::remove(temporary);
        return fail(error, reason);
    }
    out.close();
    if (out.error() != QFileDevice::NoError) {
        QFile::remove(temporary);
        return fail(error, out.errorString());
    }
    if (QFileInfo(path).isFile())
        QFile::setPermissions(temporary, QFile::permissions(path));
    return renameOver(temporary, path, error);
}

} // namespace platform::SafeFile
