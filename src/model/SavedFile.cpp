#include "model/SavedFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace sonaro {

QString notARegularFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isFile()) return {};
    return QCoreApplication::translate("sonaro::SavedFile",
                                       "%1 is not a regular file (a directory, a device, a pipe "
                                       "or a socket); it is left as it is")
        .arg(path);
}

QString readWholeFile(const QString& path, qint64 maxBytes, QByteArray& data)
{
    // Opened without waiting, so that a FIFO never blocks the program; its type is checked on
    // the open descriptor, so that nothing can be swapped in between.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return notARegularFile(path).isEmpty() ? QStringLiteral("%1: not a regular file").arg(path)
                                               : notARegularFile(path);
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    }
    data = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    if (data.size() > maxBytes)
        return QCoreApplication::translate("sonaro::SavedFile", "%1 is longer than %2 bytes")
            .arg(path)
            .arg(maxBytes);
    return {};
}

QString saveWholeFile(const QString& path, const QByteArray& data)
{
    if (const QString refused = notARegularFile(path); !refused.isEmpty()) return refused;
    QSaveFile file(path);
    // Unbuffered, so that a short write shows in write()'s count instead of vanishing in a flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    const qint64 written = file.write(data);
    QString cause;
    if (written != data.size()) {
        cause = file.error() != QFileDevice::NoError && written < 0
                    ? file.errorString()
                    : QCoreApplication::translate("sonaro::SavedFile",
                                                  "only %1 of %2 bytes could be written")
                          .arg(std::max<qint64>(written, 0))
                          .arg(data.size());
    } else if (!file.flush() || !file.commit()) {
        cause = file.errorString();
    }
    if (cause.isEmpty()) return {};
    file.cancelWriting();
    return QStringLiteral("%1: %2").arg(path, cause);
}

QString saveFailText(const QString& reason)
{
    return QCoreApplication::translate("sonaro::SavedFile", "Save Fail: %1").arg(reason);
}

} // namespace sonaro
