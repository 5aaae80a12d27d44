#pragma once

#include <QByteArray>
#include <QString>

namespace sonaro {

// Writes a whole file or nothing: the bytes go to a temporary file beside it, which replaces the
// old file only once every byte reached it (QSaveFile). A failed or short write (a full disk, a
// file-size limit, a read-only directory) leaves the old file as it was. Returns why the file
// could not be written ("<path>: <cause>"), empty when it was.
QString saveWholeFile(const QString& path, const QByteArray& data);

// A target that exists and is not a regular file (a device, a FIFO, a socket, a directory) is
// refused: replacing it would destroy it. Empty when path is a regular file or does not exist.
QString notARegularFile(const QString& path);

// Reads a whole regular file of at most maxBytes; a device, a FIFO, a socket or a directory is
// refused without waiting for it. Returns why it could not be read, empty when data holds it.
QString readWholeFile(const QString& path, qint64 maxBytes, QByteArray& data);

// "Save Fail: <reason>", in the operator's language.
QString saveFailText(const QString& reason);

} // namespace sonaro
