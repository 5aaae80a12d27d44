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
    // A data directory named on the command line or in SONARO_DATA_DIR: made when only its last
    // part is missing, as every program of ours does; empty when it can be used, otherwise why
    // not (its parent is missing too, it is a file, it cannot be made).
    static QString prepareNamed(const QString& dir);
    // The value of "--data-dir DIR" or "--data-dir=DIR" in arguments, empty when absent.
    static QString commandLineValue(const QStringList& arguments);

    QString path() const { return m_path; }
    QString filePath(const QString& fileName) const;
    QString databasePath() const { return filePath(QString::fromLatin1(kDatabaseFileName)); }
    // data.ini keeps the first unit; the other units of a cascade keep data-N.ini each.
    QString stateFilePath(int unit = 1) const
    {
        return unit == 1 ? filePath(QString::fromLatin1(kStateFileName))
                         : filePath(QStringLiteral("data-%1.ini").arg(unit));
    }
    // The program's own choices kept between runs (the unit shown).
    QString settingsFilePath() const { return filePath(QStringLiteral("sonaro.ini")); }
    QString addressFilePath() const { return filePath(QString::fromLatin1(kAddressFileName)); }
    QString offlineFilePath() const { return filePath(QString::fromLatin1(kOfflineFileName)); }

private:
    QString m_path;
};

} // namespace sonaro
