#include "store/DataDirectory.h"

#include "model/Version.h"

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
    // Before a QCoreApplication exists there is no executable directory to ask for.
    return resolve(commandLineDir, QCoreApplication::instance()
                                       ? QCoreApplication::applicationDirPath()
                                       : QString());
}

DataDirectory DataDirectory::resolve(const QString& commandLineDir, const QString& executableDir)
{
    QString chosen = commandLineDir;
    if (chosen.isEmpty()) chosen = qEnvironmentVariable(kDataDirEnvironment);
    if (!chosen.isEmpty()) {
        // A directory the operator named is made only one level deep: a typing error in its
        // parents is no reason to make a tree of directories.
        prepareNamed(chosen);
        return DataDirectory(QFileInfo(chosen).absoluteFilePath());
    }
    if (isWritableDirectory(executableDir) && !isInstalledProgramDirectory(executableDir))
        chosen = executableDir;
    else
        chosen = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(chosen);
    return DataDirectory(QFileInfo(chosen).absoluteFilePath());
}

QString DataDirectory::prepareNamed(const QString& dir)
{
    const QFileInfo info(dir);
    if (info.isDir()) return {};
    if (info.exists())
        return QCoreApplication::translate("sonaro::DataDirectory", "%1 is not a directory")
            .arg(dir);
    const QString parent = info.absoluteDir().path();
    if (!QFileInfo(parent).isDir())
        return QCoreApplication::translate("sonaro::DataDirectory",
                                           "%1 does not exist, nor does its parent %2")
            .arg(dir, parent);
    if (!QDir(parent).mkdir(info.fileName()))
        return QCoreApplication::translate("sonaro::DataDirectory", "%1 cannot be made").arg(dir);
    return {};
}

bool DataDirectory::isInstalledProgramDirectory(const QString& executableDir)
{
    if (executableDir.isEmpty()) return false;
    return QFileInfo::exists(QDir(executableDir).filePath(QString::fromLatin1(kInstalledMarker)));
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
