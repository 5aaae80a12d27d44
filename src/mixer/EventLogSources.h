#pragma once

#include "link/Connection.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

namespace sonaro {

class EventLog;
class SonaroCore;

// Turns what the core's link, session and surface report into events of the core's log:
// connection changes, logins, silences and re-logins, dropped frames, address and account
// changes, refused actions. Messages, file and storage events are logged by the operator
// interfaces the core hands out (LoggingOperator). A child of the core.
class EventLogSources : public QObject
{
    Q_OBJECT

public:
    // Dropped frames are logged at most this many per window; the rest are counted and the count
    // is logged when the window ends, so that a flood cannot push everything else out of the log.
    static constexpr int kDroppedPerWindow = 10;
    static constexpr int kDroppedWindowMs = 10000;

    explicit EventLogSources(SonaroCore& core);
    // A shorter window (tests).
    void setDroppedWindow(int ms) { m_droppedWindowMs = ms; }

private:
    void connectionChanged(Connection next);
    void frameDropped(const QByteArray& frame, const QString& reason);
    void flushDropped();
    void frameSent(const QByteArray& frame);
    QString address() const;
    QString loginName() const;

    SonaroCore& m_core;
    EventLog& m_log;
    Connection m_previous = Connection::Offline;
    bool m_relogged = false;
    int m_droppedWindowMs = kDroppedWindowMs;
    QElapsedTimer m_droppedWindow;
    int m_droppedInWindow = 0;
    int m_droppedUnlogged = 0;
    QTimer m_droppedFlush;
};

} // namespace sonaro
