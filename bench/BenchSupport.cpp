#include "BenchSupport.h"

#include "DxfFixture.h"
#include "acad/DBusBackend.h"
#include "acad/DBusConnector.h"
#include "acad/basAcadConnect.h"
#include "platform/MsgBox.h"
#include "platform/ProgramFolder.h"
#include "viewer/frmWMF.h"

#include <QApplication>
#include <QElapsedTimer>

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
    // The entities are streamed in the fixture's own form: a million of them held as
    // strings would make this process's peak memory, which the benchmarks report, the
    // generator's rather than the viewer's.
    static const QByteArray kTail = "0\nENDSEC\n0\nEOF\n";
    const QByteArray text = dxf.text().toUtf8();
    const QString path = folder + QStringLiteral("/big.dxf");
    QFile file(path);
    if (!text.endsWith(kTail) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    file.write(text.left(text.size() - kTail.size()));
    QByteArray chunk;
    const auto pair = [&chunk](int code, const QByteArray& value) {
        chunk += QByteArray::number(code) + '\n' + value + '\n';
    };
    const auto real = [&pair](int code, double v) { pair(code, QByteArray::number(v, 'g', 15)); };
    for (int e = 0; e < entities; ++e) {
        const QByteArray layer = name(e % layers).toUtf8();
        const double x = (e * 37) % 1000, y = (e * 91) % 700;
        if (e % 4 == 0) {
            pair(0, "CIRCLE");
            pair(8, layer);
            real(10, x);
            real(20, y);
            real(30, 0.0);
            real(40, 3 + e % 9);
        } else {
            pair(0, "LINE");
            pair(8, layer);
            real(10, x);
            real(20, y);
            real(30, 0.0);
            real(11, x + 15 + e % 40);
            real(21, y + 5 + e % 25);
            real(31, 0.0);
        }
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    chunk += kTail;
    file.write(chunk);
    return file.error() == QFileDevice::NoError ? path : QString();
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

std::shared_ptr<acad::DBusApplicationBackend>
openInHost(const std::shared_ptr<acad::DBusConnector>& host, const QString& path,
           std::shared_ptr<acad::Connector> viewer) {
    acad::setConnector(viewer ? std::move(viewer) : host);
    auto cad = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(host->create());
    cad->open(path);
    return cad;
}

qint64 showAndRefresh(frmWMF& window) {
    window.show();
    window.setWidth(5820);
    window.setHeight(8625);
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    window.pu_subCmdRefresh_Click();
    return clock.elapsed();
}

} // namespace bench
