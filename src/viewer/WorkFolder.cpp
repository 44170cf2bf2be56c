#include "WorkFolder.h"

#include "platform/ProgramFolder.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace WorkFolder {

QString path() {
    const platform::FileLayout layout = platform::fileLayout();
    // An installed viewer's LAYER lies in a folder of its own, made for the user alone.
    if (!layout.portable && !QFileInfo(layout.work).isDir()) {
        QDir().mkpath(layout.work);
        QFile::setPermissions(layout.work, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner);
    }
    return layout.work + QStringLiteral("/LAYER");
}

void remove() {
    const QString folder = path();
    const QFileInfo info(folder);
    if (info.isSymLink())
        QFile::remove(folder);
    else if (info.isDir())
        QDir(folder).removeRecursively();
}

QString macroProject() {
    const platform::FileLayout layout = platform::fileLayout();
    const QString installed = layout.data + QStringLiteral("/TARNIX.dvb");
    if (layout.portable)
        return installed;
    path(); // makes the viewer's own folder
    const QString copy = layout.work + QStringLiteral("/TARNIX.dvb");
    // Copied afresh each time, so an update of the installed project is what runs.
    QFile::remove(copy);
    QFile::copy(installed, copy);
    return copy;
}

void release() {
    remove();
    const platform::FileLayout layout = platform::fileLayout();
    if (layout.portable)
        return;
    QFile::remove(layout.work + QStringLiteral("/TARNIX.dvb"));
    QDir().rmdir(layout.work); // only when empty: nothing else was ever put there
}

QString layerPicturePath(const QString& layerName) {
    constexpr qsizetype kMaxFileNameBytes = 255;
    const QString fileName = layerName + QStringLiteral(".wmf");
    if (layerName.isEmpty() || layerName == QLatin1String(".") ||
        layerName == QLatin1String("..") || layerName.contains(QLatin1Char('/')) ||
        layerName.contains(QChar(0)) || fileName.toUtf8().size() > kMaxFileNameBytes)
        return {};
    return path() + QLatin1Char('/') + fileName;
}

QString LayerPictures::find(const QString& layerName) {
    const QString exact = layerPicturePath(layerName);
    if (exact.isEmpty())
        return {};
    if (QFileInfo(exact).isFile())
        return exact;
    if (!m_listed) {
        m_listed = true;
        const QString suffix = QStringLiteral(".wmf");
        const QDir folder(path());
        for (const QString& file : folder.entryList({QStringLiteral("*.wmf")}, QDir::Files)) {
            const QString layer = file.left(file.size() - suffix.size());
            m_byFoldedName.insert(layer.toCaseFolded(), folder.filePath(file));
        }
    }
    return m_byFoldedName.value(layerName.toCaseFolded());
}

namespace {

// A noted picture's modification time until the macro rewrites it. Any write sets the
// time to the present, which is never this one; comparing with the time the file had
// would miss a rewrite within the file system clock's tick (milliseconds) of the last
// write, or after the clock was set back.
constexpr timespec kNotRewritten = {1, 0};

bool isNotRewritten(const struct stat& st) {
    return S_ISREG(st.st_mode) && st.st_mtim.tv_sec == kNotRewritten.tv_sec &&
           st.st_mtim.tv_nsec == kNotRewritten.tv_nsec;
}

} // namespace

RefreshPictures::RefreshPictures() : m_folder(path()) {
    const QFileInfo info(m_folder);
    if (info.isSymLink() || (info.exists() && !info.isDir()))
        QFile::remove(m_folder);
    if (!QFileInfo(m_folder).isDir() && !QDir().mkdir(m_folder))
        throw platform::vbError(platform::vberr::PathFileAccess);

    DIR* dir = ::opendir(QFile::encodeName(m_folder).constData());
    if (!dir)
        throw platform::vbError(platform::vberr::PathFileAccess);
    const int fd = ::dirfd(dir);
    QList<QByteArray> others;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        struct stat st {};
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const timespec times[2] = {{0, UTIME_OMIT}, kNotRewritten};
        if (S_ISREG(st.st_mode) && name.endsWith(".wmf") &&
            ::utimensat(fd, entry->d_name, times, AT_SYMLINK_NOFOLLOW) == 0)
            m_noted.push_back(name);
        else
            others.append(name);
    }
    ::closedir(dir);
    // SYS among them: the overviews are made afresh, and a macro that fails to write
    // one must not leave the last refresh's to be shown.
    for (const QByteArray& name : others) {
        const QString entry = m_folder + QLatin1Char('/') + QFile::decodeName(name);
        const QFileInfo other(entry);
        if (other.isDir() && !other.isSymLink())
            QDir(entry).removeRecursively();
        else
            QFile::remove(entry);
    }
    if (!QDir().mkdir(sysPath()))
        throw platform::vbError(platform::vberr::PathFileAccess);
}

RefreshPictures::~RefreshPictures() {
    if (m_swept)
        return;
    try {
        sweep();
    } catch (const std::exception&) {
        // The refresh already ends with its own error.
    }
}

qsizetype RefreshPictures::sweep() {
    m_swept = true;
    const std::vector<QByteArray> noted = std::move(m_noted);
    m_noted.clear();
    const int fd = ::open(QFile::encodeName(m_folder).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return 0; // no folder, no picture to show
    qsizetype removed = 0;
    bool failed = false;
    for (const QByteArray& picture : noted) {
        struct stat st {};
        if (::fstatat(fd, picture.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !isNotRewritten(st))
            continue;
        if (::unlinkat(fd, picture.constData(), 0) == 0)
            ++removed;
        else if (errno != ENOENT)
            failed = true;
    }
    ::close(fd);
    if (failed)
        throw platform::vbError(platform::vberr::PathFileAccess);
    return removed;
}

QString RefreshPictures::sysPath() const {
    return m_folder + QStringLiteral("/SYS");
}

} // namespace WorkFolder
