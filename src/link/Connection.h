#pragma once

namespace sonaro {

// Where the connection to the unit stands. The session alone moves it; the link, the dispatcher
// and the windows read it.
enum class Connection
{
    Offline,         // no unit; nothing is expected from the network
    Searching,       // the link is stopped while the search and the login check use the port
    LoggingIn,       // R sent, waiting for the answer (retried, then given up)
    Connected,       // logged in; the status stream is watched for silence
    Relogging,       // the unit fell silent; R goes again until it answers
    ChangingAddress, // connected, I sent, waiting for P
    ChangingAccount, // connected, X sent, waiting for Y
    Closing          // disconnect or exit: what is queued goes out (bounded), then stream off
};

// True in the states where the unit is logged in (the watchdog looks for silence).
constexpr bool isLoggedIn(Connection c)
{
    return c == Connection::Connected || c == Connection::ChangingAddress ||
           c == Connection::ChangingAccount;
}

// True in the states where frames from the unit are expected.
constexpr bool expectsUnit(Connection c)
{
    return c != Connection::Offline && c != Connection::Searching;
}

const char* connectionName(Connection c);

} // namespace sonaro
