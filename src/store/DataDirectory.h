#pragma once

#include <QString>
#include <QStringList>

namespace sonaro {

// The files that live in the data directory.
inline constexpr char kDatabaseFileName[] = "Halvex.db";
inline constexpr char kStateFileName[] = "data.ini";
inline constexpr char kAddressFileName[] = "ip.ini";

// The command-line option and the environment variable that name the data directory.
inline constexpr char kDataDirOption[] = "--data-dir";
inline constexpr char kDataDirEnvironment[] = "SONARO_DATA_DIR";

// The directory that holds the database, the start-up state file and the address file.
// Chosen in this order: the directory given on the command line, SONARO_DATA_DIR, the
// executable's directory when it is writable, the per-user application data directory.
class DataDirectory
{
public:
    explicit DataDirectory(const QString& path);

    // Resolves the directory and creates it when it is missing. commandLineDir is the value of
    // --data-dir (empty when the option was not given).
    static DataDirectory resolve(const QString& commandLineDir = {});
    // The value of "--data-dir DIR" or "--data-dir=DIR" in arguments, empty when absent.
    static QString commandLineValue(const QStringList& arguments);

    QString path() const { return m_path; }
    QString filePath(const QString& fileName) const;
    QString databasePath() const { return filePath(QString::fromLatin1(kDatabaseFileName)); }
    QString stateFilePath() const { return filePath(QString::fromLatin1(kStateFileName)); }
    QString addressFilePath() const { return filePath(QString::fromLatin1(kAddressFileName)); }

private:
    QString m_path;
};

} // namespace sonaro
