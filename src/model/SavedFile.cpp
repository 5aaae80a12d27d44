#include "model/SavedFile.h"

#include <QCoreApplication>
#include <QSaveFile>

#include <algorithm>

namespace sonaro {

QString saveWholeFile(const QString& path, const QByteArray& data)
{
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
