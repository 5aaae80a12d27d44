#pragma once

#include "link/Connection.h"
#include "ui/kit/PaintedButton.h"

namespace sonaro::ui {

// The connection lamp beside the page buttons: says in words and in colour where the connection
// stands (offline, searching, logging in, connected, re-logging, changing the address or the
// account, disconnecting). Green only while the unit is logged in and its status stream is heard.
class ConnectionIndicator : public PaintedButton
{
    Q_OBJECT
public:
    explicit ConnectionIndicator(QWidget* parent = nullptr);

    Connection connection() const { return m_connection; }
    bool isHeard() const { return m_heard; }
    // The connection's state and whether status frames arrive.
    void setState(Connection connection, bool heard);

    // The words shown for a state, in the current language.
    static QString stateText(Connection connection, bool heard);

protected:
    void changeEvent(QEvent* event) override;

private:
    void showState();

    Connection m_connection = Connection::Offline;
    bool m_heard = false;
};

} // namespace sonaro::ui
