#pragma once

#include "link/LinkState.h"

#include <QObject>
#include <QString>
#include <QTimer>

class QUdpSocket;

namespace sonaro {

// The login dialog's own exchange: binds the link port (the link must be stopped), sends R and
// reads up to the configured number of times for the answer. Asynchronous: finished() reports
// whether the unit accepted the account.
class LoginCheck : public QObject
{
    Q_OBJECT
public:
    explicit LoginCheck(LinkState& state, QObject* parent = nullptr);
    ~LoginCheck() override;

    // name and password as typed (padded to 7 characters here).
    void checkLogin(const QString& name, const QString& password);
    bool isRunning() const { return m_socket != nullptr; }
    // Why the last check could not run (the port could not be bound); empty otherwise.
    QString errorText() const { return m_errorText; }

signals:
    void finished(bool accepted);

private:
    void poll();
    void finish(bool accepted);

    LinkState& m_state;
    QUdpSocket* m_socket = nullptr;
    QTimer m_timer;
    int m_reads = 0;
    QString m_errorText;
};

} // namespace sonaro
