#include "store/DataDirectoryLock.h"

#include <QCoreApplication>
#include <QDir>

namespace sonaro {

DataDirectoryLock::DataDirectoryLock(const QString& directory)
    : m_directory(directory), m_path(QDir(directory).filePath(QString::fromLatin1(kFileName))),
      m_lock(m_path)
{
    // A program runs for days: only a lock whose process is gone is stale, never an old one.
    m_lock.setStaleLockTime(0);
}

DataDirectoryLock::~DataDirectoryLock() = default;

DataDirectoryLock::Result DataDirectoryLock::acquire()
{
    if (m_lock.isLocked() || m_lock.tryLock(0)) return Result::Acquired;
    switch (m_lock.error()) {
    case QLockFile::LockFailedError:
        return Result::InUse;
    case QLockFile::PermissionError:
        return Result::NotWritable;
    default:
        // The directory is there but no file can be made in it (a full disk, an odd file
        // system): as with a read-only one, the program writes nothing there and may run.
        return Result::NotWritable;
    }
}

QString DataDirectoryLock::refusal() const
{
    qint64 pid = 0;
    QString host;
    QString application;
    const bool known = m_lock.getLockInfo(&pid, &host, &application);
    const QString directory = QDir::toNativeSeparators(m_directory);
    if (!known)
        return QCoreApplication::translate(
                   "sonaro::DataDirectoryLock",
                   "Another Sonaro program is already using the data directory %1. Close it "
                   "first, or start this one with --data-dir and another directory.")
            .arg(directory);
    return QCoreApplication::translate(
               "sonaro::DataDirectoryLock",
               "Another Sonaro program (process %1) is already using the data directory %2. "
               "Close it first, or start this one with --data-dir and another directory.")
        .arg(pid)
        .arg(directory);
}

} // namespace sonaro
