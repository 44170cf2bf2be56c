#pragma once

// What the viewer's benchmarks share: a program folder of their own with the shipped
// macro project, message boxes counted rather than shown, the generated drawing, and the
// process's CPU time.

#include <QString>
#include <QTemporaryDir>

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

// CPU time of this process (all threads) in microseconds, to tell the viewer's own work
// from waiting for the host; the peak resident size in kilobytes.
qint64 cpuUs();
long peakRssKb();

} // namespace bench
