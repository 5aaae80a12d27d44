#include "mixer/EventLogFile.h"

#include "mixer/EventLog.h"
#include "model/SavedFile.h"

#include <QFileInfo>

namespace sonaro {

EventLogFile::EventLogFile(EventLog& log, const QString& path, qint64 limit, QObject* parent)
    : QObject(parent), m_log(log), m_path(path), m_limit(limit), m_file(path)
{
    connect(&m_log, &EventLog::eventAdded, this, &EventLogFile::write);
}

EventLogFile::~EventLogFile() = default;

void EventLogFile::write(const Event& event)
{
    if (appendLine(event.line().toUtf8() + '\n')) m_failing = false;
}

bool EventLogFile::appendLine(const QByteArray& line)
{
    if (!m_file.isOpen()) {
        // A device or a pipe is never opened: it would block, or be rotated away.
        if (const QString refused = notARegularFile(m_path); !refused.isEmpty()) {
            failed(refused);
            return false;
        }
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
            failed(m_file.errorString());
            return false;
        }
    }
    if (m_file.size() > 0 && m_file.size() + line.size() > m_limit && !rotate()) return false;
    if (m_file.write(line) != line.size() || !m_file.flush()) {
        const QString reason = m_file.errorString();
        // Opened again at the next event: the disk may have room by then.
        m_file.close();
        failed(reason);
        return false;
    }
    return true;
}

bool EventLogFile::rotate()
{
    m_file.close();
    const QString older = rotatedPath();
    if (QFileInfo::exists(older) && !QFile::remove(older)) {
        failed(QStringLiteral("%1 cannot be removed").arg(older));
        return false;
    }
    if (!QFile::rename(m_path, older)) {
        failed(QStringLiteral("%1 cannot be renamed").arg(m_path));
        return false;
    }
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        failed(m_file.errorString());
        return false;
    }
    return true;
}

void EventLogFile::failed(const QString& reason)
{
    // Set first: the event below comes back here through the log, and must not report again.
    if (m_failing) return;
    m_failing = true;
    m_log.add(EventKind::Storage,
              QT_TRANSLATE_NOOP("sonaro::EventLog", "The event log cannot be written to %1: %2"),
              {m_path, reason});
}

} // namespace sonaro
