#pragma once

#include <QLockFile>
#include <QString>

namespace sonaro {

// One program per data directory: the desktop program and sonaroctl's commands that log in hold
// this lock ("sonaro.lock" in the directory) from start to exit, so that two of them never write
// the same database and data.ini. A lock left by a process that no longer runs is taken over.
class DataDirectoryLock
{
public:
    static constexpr char kFileName[] = "sonaro.lock";

    enum class Result
    {
        Acquired,   // this program holds the directory
        InUse,      // another running program holds it: refuse to start
        NotWritable // no lock file can be made there (a read-only directory): nothing will be
                    // written there either, so the program may run
    };

    explicit DataDirectoryLock(const QString& directory);
    ~DataDirectoryLock();
    DataDirectoryLock(const DataDirectoryLock&) = delete;
    DataDirectoryLock& operator=(const DataDirectoryLock&) = delete;

    Result acquire();
    // The operator's message for InUse, in the current language: which directory, which process,
    // and what to do.
    QString refusal() const;
    QString lockFilePath() const { return m_path; }

private:
    QString m_directory;
    QString m_path;
    QLockFile m_lock;
};

} // namespace sonaro
