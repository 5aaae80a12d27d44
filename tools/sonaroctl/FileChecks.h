#pragma once

#include <QByteArray>
#include <QString>

// Files named on the command line are taken only when they are regular files: a FIFO would
// block the run until someone writes to it, a device would be read or written without end.
namespace sonaroctl {

// The contents of path (at most limit bytes), or the reason it cannot be read. The file type is
// checked on the opened file itself, which never waits for a writer.
QString readRegularFile(const QString& path, qint64 limit, QByteArray& data);
// The reason path cannot be written to as a file: it exists and is not a regular file (a FIFO,
// a device, a directory). Empty when it can be.
QString checkFileTarget(const QString& path);

} // namespace sonaroctl
