#pragma once

#include <QString>

namespace platform {

// The program folder F: where tarnix lives. Tests point it at a scratch folder, which
// then holds everything as a portable copy does.
QString programFolder();
void setProgramFolderForTesting(const QString& folder);

// Where the viewer's files are. A portable copy (a writable program folder holding
// TARNIX.dvb, as a build tree is) keeps them all beside the program, as the original
// did. An installed copy cannot write there: it reads TARNIX.dvb and the readme from
// the installed data folder, keeps TARNIX.ini in the user's config folder and its
// pictures in a folder of its own under the user's runtime (or cache) folder, so that
// two viewers never empty each other's pictures.
struct FileLayout {
    bool portable = true;
    QString data;     // TARNIX.dvb, the readme
    QString settings; // TARNIX.ini
    QString work;     // the parent of the LAYER work folder
};

// The layout for a program in exeFolder whose installed data is in dataFolder, for the
// viewer with process id pid. Reads XDG_CONFIG_HOME, XDG_RUNTIME_DIR, XDG_CACHE_HOME and
// HOME as the XDG base directories define them.
FileLayout fileLayoutFor(const QString& exeFolder, const QString& dataFolder, qint64 pid);

// The running program's layout (portable whenever a test has set the program folder).
FileLayout fileLayout();

} // namespace platform
