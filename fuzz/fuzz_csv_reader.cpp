// libFuzzer entry for the delimited-table reader (the layer-list file): any file must
// give a table or a refusal with its message, never a crash or a hang. The first byte
// chooses the reader's options.
#include "csv/VbArray2D.h"
#include "csv/clsCSV_Function2.h"
#include "platform/MsgBox.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* a = new QApplication(argc, argv);
        // The reader tells the user why it refuses a file: answered here unseen.
        platform::setMsgBoxHandler([](const QString&, int, const QString&) { return 1; });
        return a;
    }();
    static QTemporaryDir dir;
    (void)app;
    if (size < 1)
        return 0;
    const uint8_t options = data[0];
    const QString path = dir.filePath(QStringLiteral("list.csv"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data + 1), qint64(size - 1));
    }
    clsCSV_Function2 csv;
    VbArray2D table;
    QVariant header;
    const QString delimiter = (options & 8) ? QStringLiteral("\t") : QStringLiteral(",");
    csv.pu_fun_bGet_CSV_Array(path, table, (options & 1) ? &header : nullptr, (options & 2) != 0,
                              (options & 4) != 0, (options & 16) != 0, (options >> 5) & 1,
                              (options >> 6) & 1, (options & 128) != 0, delimiter);
    return 0;
}
