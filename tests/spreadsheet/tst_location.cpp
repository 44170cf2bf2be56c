// Where the export's workbook goes: the documents folder or home, and a name that never
// lands on an existing file.

#include "platform/spreadsheet/XlsxWriter.h"

#include "PlatformTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "QStringPrinter.h"

namespace {

using spreadsheet::unusedWorkbookPath;
using spreadsheet::workbookFolder;

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

// HOME and the XDG user folders of a scratch user for the duration of a test.
class ScratchHome {
public:
    ScratchHome() {
        env.set("HOME", m_dir.path());
        env.set("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral(".config")));
        env.set("XDG_DOCUMENTS_DIR", QString());
        QDir(m_dir.path()).mkpath(QStringLiteral(".config"));
    }
    QString path(const QString& name = {}) const {
        return name.isEmpty() ? m_dir.path() : m_dir.filePath(name);
    }
    void setDocuments(const QString& relative) {
        QFile dirs(path(QStringLiteral(".config/user-dirs.dirs")));
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOCUMENTS_DIR=\"$HOME/" + relative.toUtf8() + "\"\n");
    }

    platformtest::EnvScope env;

private:
    QTemporaryDir m_dir;
};

TEST(WorkbookFolder, DocumentsWhenThereElseHome) {
    ScratchHome home;
    home.setDocuments(QStringLiteral("書類"));
    // The documents folder named but not made: home.
    EXPECT_EQ(workbookFolder(), home.path());
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("書類")));
    EXPECT_EQ(workbookFolder(), home.path(QStringLiteral("書類")));
    // A documents "folder" that is a file will not do either.
    ASSERT_TRUE(QDir(home.path(QStringLiteral("書類"))).removeRecursively());
    touch(home.path(QStringLiteral("書類")));
    EXPECT_EQ(workbookFolder(), home.path());

    // $XDG_DOCUMENTS_DIR from the environment comes before user-dirs.dirs.
    ASSERT_TRUE(QFile::remove(home.path(QStringLiteral("書類"))));
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("書類")));
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("docs")));
    home.env.set("XDG_DOCUMENTS_DIR", home.path(QStringLiteral("docs")));
    EXPECT_EQ(workbookFolder(), home.path(QStringLiteral("docs")));
    EXPECT_EQ(spreadsheet::workbookFolderCandidates(),
              QStringList({home.path(QStringLiteral("docs")), home.path(QStringLiteral("書類")),
                           home.path()}));
    // One that is not there, or relative, is passed over.
    home.env.set("XDG_DOCUMENTS_DIR", home.path(QStringLiteral("gone")));
    EXPECT_EQ(workbookFolder(), home.path(QStringLiteral("書類")));
    home.env.set("XDG_DOCUMENTS_DIR", QStringLiteral("docs"));
    EXPECT_EQ(spreadsheet::workbookFolderCandidates().size(), 2);
}

TEST(WorkbookFolder, NothingWhenNoFolderCanBeWritten) {
    ScratchHome home;
    home.env.set("HOME", home.path(QStringLiteral("no/such/home")));
    EXPECT_EQ(workbookFolder(), QString());
}

TEST(UnusedWorkbookPath, NeverAnExistingFile) {
    QTemporaryDir dir;
    const QString first = unusedWorkbookPath(dir.path(), QStringLiteral("plan"));
    EXPECT_EQ(first, dir.filePath(QStringLiteral("plan.xlsx")));
    touch(first);
    EXPECT_EQ(unusedWorkbookPath(dir.path(), QStringLiteral("plan")),
              dir.filePath(QStringLiteral("plan (2).xlsx")));
    touch(dir.filePath(QStringLiteral("plan (2).xlsx")));
    // A link to nowhere is taken too: writing through it would land elsewhere.
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("nowhere")),
                            dir.filePath(QStringLiteral("plan (3).xlsx"))));
    EXPECT_EQ(unusedWorkbookPath(dir.path(), QStringLiteral("plan")),
              dir.filePath(QStringLiteral("plan (4).xlsx")));
    // A folder of that name is taken as well.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("other.xlsx")));
    EXPECT_EQ(unusedWorkbookPath(dir.path(), QStringLiteral("other")),
              dir.filePath(QStringLiteral("other (2).xlsx")));
}

TEST(UnusedWorkbookPath, NamesAFileSystemCanHold) {
    QTemporaryDir dir;
    const auto nameFor = [&](const QString& base) {
        return QFileInfo(unusedWorkbookPath(dir.path(), base)).fileName();
    };
    EXPECT_EQ(nameFor(QStringLiteral("a/b\\c:d*e?f\"g<h>i|j")),
              QStringLiteral("a_b_c_d_e_f_g_h_i_j.xlsx"));
    EXPECT_EQ(nameFor(QStringLiteral("tab\there")), QStringLiteral("tab_here.xlsx"));
    EXPECT_EQ(nameFor(QString()), QStringLiteral("画層一覧.xlsx"));
    EXPECT_EQ(nameFor(QStringLiteral("  ")), QStringLiteral("画層一覧.xlsx"));
    EXPECT_EQ(nameFor(QStringLiteral("..")), QStringLiteral("画層一覧.xlsx"));
    EXPECT_EQ(nameFor(QStringLiteral(".hidden")), QStringLiteral("hidden.xlsx"));
    // A long Japanese name is cut to 255 bytes, numbered names included.
    const QString longName = QString(200, QChar(u'図'));
    const QString cut = nameFor(longName);
    EXPECT_LE(cut.toUtf8().size(), 255);
    EXPECT_TRUE(cut.endsWith(QStringLiteral(".xlsx")));
    touch(dir.filePath(cut));
    const QString numbered = nameFor(longName);
    EXPECT_LE(numbered.toUtf8().size(), 255);
    EXPECT_TRUE(numbered.endsWith(QStringLiteral(" (2).xlsx")));
    touch(dir.filePath(numbered));
}

} // namespace
