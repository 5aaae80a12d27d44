#pragma once

#include <QByteArray>
#include <QString>

// Files that hold secrets (the configuration with the unit's password, the users and tokens):
// written readable by their owner only, and never read when others could read or change them.
namespace sonaro::server {

// Writes the bytes to path with mode 0600, replacing the file at once (a temporary file in the
// same folder renamed over it), so that no moment shows a half-written or readable file. A
// missing folder is created.
bool writePrivateFile(const QString& path, const QByteArray& bytes, QString* problem);

// Why a secret file must not be read: it is not a regular file, others can read it, or anyone
// but its owner can change it. Empty when it is fine (or does not exist).
QString privateFileExposure(const QString& path);

} // namespace sonaro::server
