// A refresh of a large drawing from end to end: tarnix's window in this process, the real
// cadhost on a private bus, the shipped macro project. Prints the time of every phase,
// the longest the window's event loop went without running (a 5 ms timer that notes how
// late it fires), and the peak memory of both programs.
//
//   QT_QPA_PLATFORM=offscreen bench_refresh [LAYERSxPER-LAYER | layers entities]
//                                           [refreshes=N] [visible]
//
//   bench_refresh 1000x200            1,000 layers of 200 entities each
//   bench_refresh 1000 200000         the same, by the total
//   bench_refresh 3000x67 refreshes=2 the first refresh and a second one
//
// "visible" shows the host's window first, as a user has it, so that its repaints after
// each regeneration count too.

#include "viewer/frmWMF.h"

#include "BenchSupport.h"
#include "PrivateSessionBus.h"
#include "acad/AcadApplication.h"
#include "acad/DBusBackend.h"
#include "acad/DBusConnector.h"
#include "acad/basAcadConnect.h"
#include "tiles/clsDWF.h"
#include "viewer/RefreshPhases.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <utility>

namespace {

qint64 cpuMs() {
    return bench::cpuUs() / 1000;
}

// How late a timer that should fire every few milliseconds fires: the longest time the
// window could not have painted or answered. Reset at every phase and every refresh.
class StallMeter {
public:
    StallMeter() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kIntervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }
    void start() {
        m_timer.start();
        m_clock.start();
        m_phaseMax = m_max = 0;
    }
    void stop() {
        tick();
        m_timer.stop();
    }
    // The longest stall since the last call.
    qint64 takePhase() {
        tick();
        return std::exchange(m_phaseMax, 0);
    }
    qint64 max() const { return m_max; }

private:
    static constexpr int kIntervalMs = 5;
    void tick() {
        const qint64 late = m_clock.restart() - kIntervalMs;
        m_phaseMax = std::max(m_phaseMax, late);
        m_max = std::max(m_max, late);
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_phaseMax = 0;
    qint64 m_max = 0;
};

struct Shape {
    int layers = 1000;
    int entities = 200000;
    int refreshes = 1;
    bool hostVisible = false;
};

Shape parse(int argc, char** argv) {
    Shape s;
    QStringList numbers;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("visible"))
            s.hostVisible = true;
        else if (arg.startsWith(QLatin1String("refreshes=")))
            s.refreshes = std::max(1, arg.mid(10).toInt());
        else if (arg.contains(QLatin1Char('x'))) {
            s.layers = arg.section(QLatin1Char('x'), 0, 0).toInt();
            s.entities = s.layers * arg.section(QLatin1Char('x'), 1, 1).toInt();
        } else
            numbers << arg;
    }
    if (!numbers.isEmpty())
        s.layers = numbers.value(0).toInt();
    if (numbers.size() > 1)
        s.entities = numbers.value(1).toInt();
    s.layers = std::max(1, s.layers);
    return s;
}

// A process's peak and current resident size in megabytes, from /proc; -1 when gone.
double procStatusMb(qint64 pid, const char* field) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (pid <= 0 || !status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

// A process's processor time (user and system) in milliseconds, from /proc; -1 when
// gone. The host's share of a phase is where its macros' cost shows.
qint64 procCpuMs(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The fields after the command name, which may hold spaces, in brackets.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    return (fields[11].toLongLong() + fields[12].toLongLong()) * 1000 / ticksPerSecond;
}

} // namespace

int main(int argc, char** argv) {
    korvel::test::PrivateSessionBus bus; // before any use of the session bus
    QApplication app(argc, argv);
    const Shape shape = parse(argc, argv);
    if (!bus.isValid()) {
        std::fprintf(stderr, "no private bus: %s\n", qPrintable(bus.errorString()));
        return 1;
    }
    bench::MessageBoxCounter boxes;

    bench::ScratchProgramFolder folder;

    QElapsedTimer clock;
    clock.start();
    const QString path = bench::writeGeneratedDrawing(folder.path(), shape.layers, shape.entities);
    const qint64 written = clock.restart();

    auto connector = std::make_shared<acad::DBusConnector>(bus.connection());
    acad::setConnector(connector);
    auto cad = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(connector->create());
    const qint64 hostPid =
        bus.connection().interface()->servicePid(QString::fromLatin1(acadbus::kServiceName));
    cad->open(path);
    if (shape.hostVisible) {
        // As a user has it: the window up and drawn long before the refresh.
        cad->setVisible(true);
        QThread::msleep(1500);
        cad->caption();
    }
    const qint64 opened = clock.restart();
    std::printf("drawing: %d layers, %d entities, %.0f MB DXF (written in %lld ms, opened by "
                "cadhost in %lld ms, its window %s); cadhost %.0f MB after opening\n",
                shape.layers, shape.entities, double(QFileInfo(path).size()) / 1e6, written, opened,
                shape.hostVisible ? "shown" : "hidden", procStatusMb(hostPid, "VmRSS:"));

    frmWMF window;
    window.show();
    window.setWidth(5820);
    window.setHeight(8625);
    QApplication::processEvents();
    const long rssBefore = bench::peakRssKb();

    StallMeter stalls;
    QElapsedTimer phase;
    qint64 phaseCpu = cpuMs();
    qint64 phaseHostCpu = procCpuMs(hostPid);
    RefreshPhases::setObserver([&](const char* name) {
        const qint64 cpu = cpuMs();
        const qint64 hostCpu = procCpuMs(hostPid);
        std::printf("  %-45s %7lld ms  (cpu %5lld ms, host cpu %5lld ms, longest stall %4lld ms)\n",
                    name, phase.restart(), cpu - phaseCpu, hostCpu - phaseHostCpu,
                    stalls.takePhase());
        phaseCpu = cpu;
        phaseHostCpu = hostCpu;
    });
    int exitCode = 0;
    for (int run = 1; run <= shape.refreshes; ++run) {
        std::printf("refresh %d:\n", run);
        stalls.start();
        clock.restart();
        phase.start();
        phaseCpu = cpuMs();
        phaseHostCpu = procCpuMs(hostPid);
        window.pu_subCmdRefresh_Click();
        const qint64 total = clock.elapsed();
        stalls.stop();
        std::printf("refresh total: %lld ms, longest stall %lld ms (%d tiles, %d message boxes, "
                    "done=%d); tarnix %.1f MB now, cadhost %.1f MB now\n",
                    total, stalls.max(), window.proDWFUBound(), boxes.count(), int(pu_bUpdateEnd),
                    procStatusMb(QCoreApplication::applicationPid(), "VmRSS:"),
                    procStatusMb(hostPid, "VmRSS:"));
        if (!pu_bUpdateEnd || boxes.count() != 0)
            exitCode = 2;
    }
    RefreshPhases::setObserver(nullptr);

    // A scroll to the middle and a repaint of what is in view.
    clock.restart();
    window.ScrBarV->setValue(window.ScrBarV->maximum() / 2);
    window.repaint();
    const qint64 scrolled = clock.elapsed();

    std::printf("scroll to the middle and repaint: %lld ms\n", scrolled);
    // What the pictures weigh as files: the viewer keeps a tile's checked bytes until
    // the tile is first painted, and plays the overviews into commands.
    qint64 layerBytes = 0;
    const QDir layer(folder.filePath(QStringLiteral("LAYER")));
    for (const QFileInfo& picture : layer.entryInfoList({QStringLiteral("*.wmf")}, QDir::Files))
        layerBytes += picture.size();
    std::printf("pictures: layers %.1f MB in all, whole drawing %.1f MB\n", layerBytes / 1e6,
                QFileInfo(layer.filePath(QStringLiteral("SYS/all.wmf"))).size() / 1e6);
    std::printf("peak RSS: tarnix %.1f MB before the refresh, %.1f MB after; cadhost %.1f MB\n",
                rssBefore / 1024.0, bench::peakRssKb() / 1024.0, procStatusMb(hostPid, "VmHWM:"));
    acad::resetConnector();
    pu_oAcadApp.reset();
    pu_oAcadDoc.reset();
    return exitCode;
}
