#pragma once

#include <QByteArray>
#include <QString>

namespace sonaro {

// Writes a whole file or nothing: the bytes go to a temporary file beside it, which replaces the
// old file only once every byte reached it (QSaveFile). A failed or short write (a full disk, a
// file-size limit, a read-only directory) leaves the old file as it was. Returns why the file
// could not be written ("<path>: <cause>"), empty when it was.
QString saveWholeFile(const QString& path, const QByteArray& data);

// "Save Fail: <reason>", in the operator's language.
QString saveFailText(const QString& reason);

} // namespace sonaro
