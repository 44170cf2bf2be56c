// libFuzzer entry for the settings file reader and writer: any TARNIX.ini must read as
// values or defaults and take a write, never a crash or a hang, and a write must keep
// every line it does not change.
#include "platform/Profile.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("TARNIX.ini"));
    const QByteArray original(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(original);
    }
    using namespace platform::profile;
    QString buffer;
    for (const char* key : {"left", "top", "width", "height"}) {
        (void)getInt(path, QStringLiteral("WMFPosi"), QString::fromLatin1(key), 0);
        (void)getString(path, QStringLiteral("WMFPosi"), QString::fromLatin1(key),
                        QStringLiteral("x"), buffer, 255);
    }
    if (!writeString(path, QStringLiteral("WMFPosi"), QStringLiteral("width"),
                     QStringLiteral("5820")))
        return 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        abort();
    const QByteArray written = file.readAll();
    // Nothing of the file is lost: only a width line (changed or added) and line breaks
    // may differ, so the written file is never shorter than the original less one value.
    if (written.size() + 64 < original.size())
        abort();
    if (getInt(path, QStringLiteral("WMFPosi"), QStringLiteral("width"), -1) != 5820)
        abort();
    return 0;
}
