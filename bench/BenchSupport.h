#pragma once

// What the viewer's benchmarks share: a program folder of their own with the shipped
// macro project, message boxes counted rather than shown, the generated drawing, and the
// process's CPU time.

#include <QString>
#include <QTemporaryDir>

#include <memory>

class frmWMF;
namespace acad {
class Connector;
class DBusApplicationBackend;
class DBusConnector;
} // namespace acad

namespace bench {

// The viewer's program folder for the run: settings and pictures go there, never beside
// the built programs.
class ScratchProgramFolder {
public:
    ScratchProgramFolder();
    ~ScratchProgramFolder();
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// Answers every message box with OK, printing it: a benchmark that shows one has gone
// wrong and must say so.
class MessageBoxCounter {
public:
    MessageBoxCounter();
    ~MessageBoxCounter();
    int count() const { return m_count; }

private:
    int m_count = 0;
};

// The benchmarks' drawing: `layers` layers "LAYER-nnnn", every seventh off and every
// eleventh frozen, and `entities` lines and circles spread over them. Returns its path.
QString writeGeneratedDrawing(const QString& folder, int layers, int entities);

// The drawing at `path` opened in the host that `host` reaches; the viewer's calls go
// through `viewer` (the host's own connector when none is given), installed as the
// program's. Returns the host's application.
std::shared_ptr<acad::DBusApplicationBackend>
openInHost(const std::shared_ptr<acad::DBusConnector>& host, const QString& path,
           std::shared_ptr<acad::Connector> viewer = {});

// The viewer's window shown at the size the benchmarks use and refreshed once; returns
// the refresh's time in milliseconds.
qint64 showAndRefresh(frmWMF& window);

// CPU time of this process (all threads) in microseconds, to tell the viewer's own work
// from waiting for the host; the peak resident size in kilobytes.
qint64 cpuUs();
long peakRssKb();

} // namespace bench
