#include "BenchSupport.h"

#include "DxfFixture.h"
#include "platform/MsgBox.h"
#include "platform/ProgramFolder.h"

#include <QFile>
#include <cstdio>
#include <sys/resource.h>

namespace bench {

ScratchProgramFolder::ScratchProgramFolder() {
    platform::setProgramFolderForTesting(m_dir.path());
    QFile::copy(QStringLiteral(KORVEL_SOURCE_DIR "/src/acad/TARNIX.dvb"),
                m_dir.filePath(QStringLiteral("TARNIX.dvb")));
}

ScratchProgramFolder::~ScratchProgramFolder() {
    platform::setProgramFolderForTesting(QString());
}

MessageBoxCounter::MessageBoxCounter() {
    platform::setMsgBoxHandler([this](const QString& prompt, int, const QString&) {
        ++m_count;
        std::fprintf(stderr, "message box: %s\n", qPrintable(prompt));
        return int(platform::vbOK);
    });
}

MessageBoxCounter::~MessageBoxCounter() {
    platform::resetMsgBoxHandler();
}

QString writeGeneratedDrawing(const QString& folder, int layers, int entities) {
    korvel::test::DxfFixture dxf;
    const auto name = [](int i) {
        return QStringLiteral("LAYER-%1").arg(i, 4, 10, QLatin1Char('0'));
    };
    for (int i = 0; i < layers; ++i) {
        korvel::test::DxfFixture::LayerState state;
        state.on = i % 7 != 3;
        state.frozen = i % 11 == 5;
        dxf.addLayer(name(i), 1 + i % 255, state);
    }
    for (int e = 0; e < entities; ++e) {
        const double x = (e * 37) % 1000, y = (e * 91) % 700;
        if (e % 4 == 0)
            dxf.addCircle(name(e % layers), x, y, 3 + e % 9);
        else
            dxf.addLine(name(e % layers), x, y, x + 15 + e % 40, y + 5 + e % 25);
    }
    const QString path = folder + QStringLiteral("/big.dxf");
    dxf.write(path);
    return path;
}

qint64 cpuUs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace bench
