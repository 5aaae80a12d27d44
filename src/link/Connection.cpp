#include "link/Connection.h"

namespace sonaro {

const char* connectionName(Connection c)
{
    switch (c) {
    case Connection::Offline:
        return "offline";
    case Connection::Searching:
        return "searching";
    case Connection::LoggingIn:
        return "logging in";
    case Connection::Connected:
        return "connected";
    case Connection::Relogging:
        return "silent, logging in again";
    case Connection::ChangingAddress:
        return "changing address";
    case Connection::ChangingAccount:
        return "changing account";
    case Connection::Closing:
        return "closing";
    }
    return "";
}

} // namespace sonaro
