#include "ui/ConnectionIndicator.h"

#include "ui/kit/Theme.h"

#include <QEvent>

namespace sonaro::ui {

ConnectionIndicator::ConnectionIndicator(QWidget* parent) : PaintedButton(parent)
{
    setObjectName(QStringLiteral("connectionIndicator"));
    setIndicator(true);
    setCheckable(true);
    setLampVisible(true);
    showState();
}

void ConnectionIndicator::setState(Connection connection, bool heard)
{
    if (m_connection == connection && m_heard == heard) return;
    m_connection = connection;
    m_heard = heard;
    showState();
}

QString ConnectionIndicator::stateText(Connection connection, bool heard)
{
    switch (connection) {
    case Connection::Offline:
        return tr("OFFLINE");
    case Connection::Searching:
        return tr("SEARCHING");
    case Connection::LoggingIn:
        return tr("LOGGING IN");
    case Connection::Connected:
        return heard ? tr("CONNECTED") : tr("WAITING FOR UNIT");
    case Connection::Relogging:
        return tr("RE-LOGGING");
    case Connection::ChangingAddress:
        return tr("CHANGING ADDRESS");
    case Connection::ChangingAccount:
        return tr("CHANGING ACCOUNT");
    case Connection::Closing:
        return tr("DISCONNECTING");
    }
    return {};
}

void ConnectionIndicator::showState()
{
    const Theme& theme = Theme::instance();
    // Lit in the state's colour; offline stays dark.
    QColor colour = theme.accent;
    if (m_connection == Connection::Offline)
        colour = theme.textDisabled;
    else if (m_connection == Connection::Relogging || m_connection == Connection::Closing)
        colour = theme.priorityAmber;
    else if (isLoggedIn(m_connection) && m_heard)
        colour = theme.activeGreen;
    setCheckedColour(colour);
    setChecked(m_connection != Connection::Offline);
    setText(stateText(m_connection, m_heard));
    setToolTip(tr("Connection to the unit: %1").arg(text()));
    update();
}

void ConnectionIndicator::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) showState();
    PaintedButton::changeEvent(event);
}

} // namespace sonaro::ui
