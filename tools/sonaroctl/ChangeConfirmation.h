#pragma once

#include "model/UnitRecord.h"

#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <optional>
#include <set>
#include <string>

namespace sonaro {
class SonaroCore;
}

namespace sonaroctl {

// Whether the unit took the changes of one command, judged from what it answers: M by the D that
// follows it (with the asked values), V and G by reading the state back (C, then the S report
// compared with what was set), E by the Q and B by the H of the same slot or output. Every
// command that changes the unit goes through one of these, so they all judge alike.
//
// Use: begin() just before the change, expect() right after it; run() once the link is idle
// reports through finished() the list of what was not confirmed (empty: all of it was).
class ChangeConfirmation : public QObject
{
    Q_OBJECT

public:
    // readBackTimeoutMs bounds each wait for the read-back's S (sent up to kReadBackTries times);
    // quietMs is the pause before the read-back, so the unit has applied what it received.
    ChangeConfirmation(sonaro::SonaroCore& core, int readBackTimeoutMs, int quietMs,
                       QObject* parent = nullptr);

    static constexpr int kReadBackTries = 3;

    void begin();
    void expect();
    // Reads the state back even when neither V nor G went (the link table J: its S carries it).
    void requireReadBack() { m_forceReadBack = true; }
    void run();

    // The frames that differ: each character that differs between the frame built from before
    // and the one built from wanted must be the same in the frame built from got. The checksum
    // is not compared.
    static bool confirms(const std::string& before, const std::string& wanted,
                         const std::string& got);

signals:
    void finished(const QStringList& unconfirmed);

private:
    void frameSent(const QByteArray& frame);
    void frameReceived(const QByteArray& frame, const QHostAddress& sender, quint16 port);
    void askState();
    void conclude();
    bool fromUnit(const QHostAddress& sender, quint16 port) const;

    sonaro::SonaroCore& m_core;
    int m_readBackTimeoutMs;
    int m_quietMs;
    bool m_watching = false;
    bool m_running = false;
    sonaro::UnitRecord m_before{};
    sonaro::UnitRecord m_wanted{};
    bool m_sentM = false;
    bool m_sentV = false;
    bool m_sentG = false;
    bool m_forceReadBack = false;
    std::optional<sonaro::UnitRecord> m_afterD; // the record as the last valid D left it
    std::optional<sonaro::UnitRecord> m_readBack;
    bool m_askedState = false;
    int m_stateTries = 0;
    std::set<int> m_waitingE; // EQ slots sent and not yet answered by Q
    std::set<int> m_waitingB; // outputs sent and not yet answered by H
    QTimer m_quiet;
    QTimer m_readBackTimer;
};

} // namespace sonaroctl
