#pragma once

#include <QString>
#include <QStringList>

namespace sonaro {

// The files that live in the data directory.
inline constexpr char kDatabaseFileName[] = "Halvex.db";
inline constexpr char kStateFileName[] = "data.ini";
inline constexpr char kAddressFileName[] = "ip.ini";
// Which settings of data.ini were changed without a unit and wait for the next login.
inline constexpr char kOfflineFileName[] = "offline.ini";

// The command-line option and the environment variable that name the data directory.
inline constexpr char kDataDirOption[] = "--data-dir";
inline constexpr char kDataDirEnvironment[] = "SONARO_DATA_DIR";

// The directory that holds the database, the start-up state file and the address file.
// Chosen in this order: the directory given on the command line, SONARO_DATA_DIR, the
// executable's directory when it is writable and not an installation (a build tree), the per-user
// application data directory. An installed program never writes beside itself, even where it
// could (root in /usr/bin, a package unpacked into a writable tree).
class DataDirectory
{
public:
    explicit DataDirectory(const QString& path);

    // Resolves the directory and creates it when it is missing. commandLineDir is the value of
    // --data-dir (empty when the option was not given).
    static DataDirectory resolve(const QString& commandLineDir = {});
    // The same for a program in executableDir.
    static DataDirectory resolve(const QString& commandLineDir, const QString& executableDir);
    // True when executableDir is the program directory of an installation: the installed
    // metainfo file lies where the install rules put it relative to the programs.
    static bool isInstalledProgramDirectory(const QString& executableDir);
    // The value of "--data-dir DIR" or "--data-dir=DIR" in arguments, empty when absent.
    static QString commandLineValue(const QStringList& arguments);

    QString path() const { return m_path; }
    QString filePath(const QString& fileName) const;
    QString databasePath() const { return filePath(QString::fromLatin1(kDatabaseFileName)); }
    QString stateFilePath() const { return filePath(QString::fromLatin1(kStateFileName)); }
    QString addressFilePath() const { return filePath(QString::fromLatin1(kAddressFileName)); }
    QString offlineFilePath() const { return filePath(QString::fromLatin1(kOfflineFileName)); }

private:
    QString m_path;
};

} // namespace sonaro
