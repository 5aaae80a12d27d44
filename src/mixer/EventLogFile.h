#pragma once

#include <QFile>
#include <QObject>
#include <QString>

namespace sonaro {

class EventLog;
struct Event;

// The event log's file name in the data directory.
inline constexpr char kEventLogFileName[] = "sonaro.log";

// Appends every event of a log to a file as one line each (Event::line()), bounded in size: a
// line that would take the file past its limit first moves it to "<file>.1" (an older .1 goes),
// so the two together never hold much more than twice the limit. Each line is flushed as it is
// written. A write that fails is never shown to the operator (one per event would storm): the
// first failure of a run of failures becomes a storage event of the log itself.
class EventLogFile : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kDefaultLimit = 1024 * 1024;

    EventLogFile(EventLog& log, const QString& path, qint64 limit = kDefaultLimit,
                 QObject* parent = nullptr);
    ~EventLogFile() override;

    QString path() const { return m_path; }
    QString rotatedPath() const { return m_path + QStringLiteral(".1"); }
    // False since the last write failed.
    bool writable() const { return !m_failing; }

private:
    void write(const Event& event);
    bool appendLine(const QByteArray& line);
    bool rotate();
    void failed(const QString& reason);

    EventLog& m_log;
    QString m_path;
    qint64 m_limit;
    QFile m_file;
    bool m_failing = false;
};

} // namespace sonaro
