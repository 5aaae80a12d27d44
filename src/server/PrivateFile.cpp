#include "server/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace sonaro::server {

bool writePrivateFile(const QString& path, const QByteArray& bytes, QString* problem)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        *problem = QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
        return false;
    }
    // The temporary file is created with the final mode, so it is never readable by others.
    constexpr auto kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QString temporary;
    QFile file;
    // A name left by a crashed writer is skipped, never reused.
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary =
            QStringLiteral("%1/.%2.%3.tmp").arg(info.absolutePath(), info.fileName()).arg(attempt);
        file.setFileName(temporary);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly)) break;
    }
    if (!file.isOpen()) {
        *problem = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!written || std::rename(QFile::encodeName(temporary).constData(),
                                QFile::encodeName(info.absoluteFilePath()).constData()) != 0) {
        QFile::remove(temporary);
        *problem = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

QString privateFileExposure(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists()) return {};
    if (!info.isFile()) return QStringLiteral("%1 is not a regular file").arg(path);
    const auto mode = info.permissions();
    if (mode & QFileDevice::ReadOther)
        return QStringLiteral("%1 is readable by every user (chmod o-r %1)").arg(path);
    if (mode & (QFileDevice::WriteOther | QFileDevice::WriteGroup))
        return QStringLiteral("%1 can be changed by other users (chmod go-w %1)").arg(path);
    return {};
}

} // namespace sonaro::server
