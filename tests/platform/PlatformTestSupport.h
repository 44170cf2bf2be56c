#pragma once

// Shared by the tests of the platform and of what writes files through it: environment
// variables set for one test, and a small disk of a test's own that can be filled.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/statvfs.h>

namespace platformtest {

// Sets environment variables for one test and puts the old values back.
class EnvScope {
public:
    EnvScope() = default;
    EnvScope(const EnvScope&) = delete;
    EnvScope& operator=(const EnvScope&) = delete;
    // A null value unsets the variable.
    void set(const char* name, const QString& value) {
        if (!m_saved.contains(name))
            m_saved.insert(name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray());
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value.toUtf8());
    }
    ~EnvScope() {
        for (auto it = m_saved.begin(); it != m_saved.end(); ++it) {
            if (it.value().isNull())
                qunsetenv(it.key().constData());
            else
                qputenv(it.key().constData(), it.value());
        }
    }

private:
    QHash<QByteArray, QByteArray> m_saved;
};

// A tmpfs of `kilobytes` mounted over `folder` (a scratch folder of its own when none is
// given) while it lives, so that a write can meet a full disk for real. Mounting needs
// the right to (root); where it is refused, mounted() is false and whyNot() says why,
// for the test to skip with.
class SmallDisk {
public:
    explicit SmallDisk(int kilobytes, const QString& folder = {})
        : m_path(folder.isEmpty() ? m_own.path() : folder) {
        const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0755";
        if (::mount("tmpfs", QFile::encodeName(m_path).constData(), "tmpfs", 0,
                    options.constData()) == 0)
            m_mounted = true;
        else
            m_whyNot = QStringLiteral("no tmpfs can be mounted here: ") +
                       QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallDisk() {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    QString whyNot() const { return m_whyNot; }
    QString path() const { return m_path; }
    QString filePath(const QString& name) const { return QDir(m_path).filePath(name); }
    QStringList entries() const {
        return QDir(m_path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                      QDir::Name);
    }

    // Takes the disk's room but `freeBytes` (whole pages of the disk) with a file "fill".
    bool fillLeaving(qint64 freeBytes) {
        struct statvfs room {};
        if (::statvfs(QFile::encodeName(m_path).constData(), &room) != 0)
            return false;
        const qint64 available = qint64(room.f_bavail) * qint64(room.f_bsize);
        if (available < freeBytes)
            return false;
        QFile fill(filePath(QStringLiteral("fill")));
        return fill.open(QIODevice::WriteOnly) &&
               fill.write(QByteArray(available - freeBytes, '\0')) == available - freeBytes &&
               fill.flush();
    }

private:
    QTemporaryDir m_own;
    QString m_path;
    bool m_mounted = false;
    QString m_whyNot;
};

} // namespace platformtest
