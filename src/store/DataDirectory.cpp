#include "store/DataDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace sonaro {

namespace {

bool isWritableDirectory(const QString& path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.isDir() && info.isWritable();
}

} // namespace

DataDirectory::DataDirectory(const QString& path) : m_path(QDir::cleanPath(path)) {}

DataDirectory DataDirectory::resolve(const QString& commandLineDir)
{
    QString chosen = commandLineDir;
    if (chosen.isEmpty()) chosen = qEnvironmentVariable(kDataDirEnvironment);
    if (chosen.isEmpty()) {
        // Before a QCoreApplication exists there is no executable directory to ask for.
        const QString exeDir =
            QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
        if (isWritableDirectory(exeDir))
            chosen = exeDir;
        else
            chosen = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    }
    QDir().mkpath(chosen);
    return DataDirectory(QFileInfo(chosen).absoluteFilePath());
}

QString DataDirectory::commandLineValue(const QStringList& arguments)
{
    const QString option = QString::fromLatin1(kDataDirOption);
    const QString prefix = option + QLatin1Char('=');
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == option && i + 1 < arguments.size()) return arguments.at(i + 1);
        if (argument.startsWith(prefix)) return argument.mid(prefix.size());
    }
    return {};
}

QString DataDirectory::filePath(const QString& fileName) const
{
    return QDir(m_path).filePath(fileName);
}

} // namespace sonaro
