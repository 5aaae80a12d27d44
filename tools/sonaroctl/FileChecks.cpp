#include "FileChecks.h"

#include "Console.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sonaroctl {

namespace {

QString notAFile(const QString& path)
{
    return QStringLiteral("%1 is not a regular file (a FIFO, a device or a directory)")
        .arg(escapeControls(path));
}

QString systemError(const QString& path)
{
    return QStringLiteral("%1: %2").arg(escapeControls(path),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

QString readRegularFile(const QString& path, qint64 limit, QByteArray& data)
{
    // Opened without waiting: a FIFO without a writer would block an ordinary open.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return systemError(path);
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return notAFile(path);
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return QStringLiteral("%1: %2").arg(escapeControls(path), file.errorString());
    }
    data = file.read(limit);
    return {};
}

QString checkFileTarget(const QString& path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT ? QString() : systemError(path);
    return S_ISREG(info.st_mode) ? QString() : notAFile(path);
}

} // namespace sonaroctl
