#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// The server's configuration file: the unit it logs in to and the account it uses, where it
// listens, its TLS certificate, its preset folder and its users file. The file holds the unit's
// password, so the server writes it readable by its owner only and refuses to read it when
// others can read or change it. Relative paths in it count from the file's folder.
namespace sonaro::server {

struct ServerConfig
{
    QString path; // the file itself

    // [unit]
    QString unitAddress; // empty: no unit configured yet
    quint16 unitPort = 5000;
    QString account = QStringLiteral("admin");
    QString password; // SONARO_PASSWORD, when set, overrides the file
    QString linkBind; // local address of the link; empty: any

    // [listen]
    QHostAddress listenAddress{QHostAddress::LocalHost};
    quint16 listenPort = 8080;
    QString certificate; // PEM; with key: HTTPS and WSS
    QString key;
    QStringList origins; // pages of other origins allowed to open the WebSocket

    // [server]
    QString presets; // folder of the preset files offered
    QString users;   // users and tokens
    QString data;    // the core's data directory (database, state file, event log)
    int maxClients = 100;

    bool tls() const { return !certificate.isEmpty() && !key.isEmpty(); }
    bool loopbackOnly() const { return listenAddress.isLoopback(); }
};

class ServerConfigFile
{
public:
    static constexpr const char* kPasswordVariable = "SONARO_PASSWORD";

    // The per-user file ($XDG_CONFIG_HOME/sonaro/server.conf) when it exists or no system file
    // does, else the system one (/etc/sonaro-server/server.conf).
    static QString defaultPath();
    static QString systemPath();

    // Reads the file; a missing file is written first with the defaults (mode 0600).
    static std::optional<ServerConfig> load(const QString& path, QString* problem);
    // The text of a new configuration file, with every key and what it means.
    static QByteArray defaultText();

    // "ADDRESS:PORT", "[v6]:PORT" or ":PORT" (loopback), port 0 for any free one; nullopt when
    // it is none of them.
    static std::optional<std::pair<QHostAddress, quint16>> parseListen(const QString& text);
};

} // namespace sonaro::server
