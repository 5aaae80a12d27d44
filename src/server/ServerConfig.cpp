#include "server/ServerConfig.h"

#include "server/PrivateFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace sonaro::server {

namespace {

QString resolved(const QString& base, const QString& value, const QString& fallback)
{
    const QString path = value.isEmpty() ? fallback : value;
    return QDir::cleanPath(QDir(base).absoluteFilePath(path));
}

bool readPort(const QSettings& ini, const char* key, quint16& port, QString* problem)
{
    if (!ini.contains(QLatin1String(key))) return true;
    bool ok = false;
    const int value = ini.value(QLatin1String(key)).toString().toInt(&ok);
    if (!ok || value < 1 || value > 65535) {
        *problem = QStringLiteral("%1 is not a port: %2")
                       .arg(QLatin1String(key), ini.value(QLatin1String(key)).toString());
        return false;
    }
    port = static_cast<quint16>(value);
    return true;
}

// QSettings splits an unquoted value at commas: a password "a,b" comes back as two items.
QString textValue(const QSettings& ini, const char* key, const QString& fallback = {})
{
    const QVariant value = ini.value(QLatin1String(key), fallback);
    return value.typeId() == QMetaType::QStringList ? value.toStringList().join(QLatin1Char(','))
                                                    : value.toString();
}

QStringList listValue(const QVariant& value)
{
    // QSettings gives a comma-separated value as a list already.
    QStringList list = value.toStringList();
    if (list.size() == 1) list = list.first().split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString& item : list)
        item = item.trimmed();
    list.removeAll(QString());
    return list;
}

} // namespace

QString ServerConfigFile::systemPath()
{
    return QStringLiteral("/etc/sonaro-server/server.conf");
}

QString ServerConfigFile::defaultPath()
{
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/sonaro/server.conf");
    if (QFileInfo::exists(user) || !QFileInfo::exists(systemPath())) return user;
    return systemPath();
}

QByteArray ServerConfigFile::defaultText()
{
    return QByteArrayLiteral(
        "# sonaro-server configuration. Keep this file readable by its owner only (and the\n"
        "# server's group at most): it holds the unit's password. Relative paths count from\n"
        "# the folder of this file.\n"
        "\n"
        "[unit]\n"
        "# The mixer unit the server logs in to.\n"
        "address=\n"
        "port=5000\n"
        "account=admin\n"
        "# Or leave it empty and give it in the environment variable SONARO_PASSWORD.\n"
        "password=\n"
        "# The local address the link uses (empty: any).\n"
        "bind=\n"
        "\n"
        "[listen]\n"
        "# Listening on an address other than loopback makes the web remote reachable from\n"
        "# the network: give a certificate and key then.\n"
        "address=127.0.0.1\n"
        "port=8080\n"
        "certificate=\n"
        "key=\n"
        "# Origins of other pages allowed to open the API's WebSocket, comma separated.\n"
        "origins=\n"
        "\n"
        "[server]\n"
        "presets=presets\n"
        "users=users.json\n"
        "data=data\n"
        "maxClients=100\n");
}

std::optional<ServerConfig> ServerConfigFile::load(const QString& path, QString* problem)
{
    if (!QFileInfo::exists(path) && !writePrivateFile(path, defaultText(), problem))
        return std::nullopt;
    if (const QString exposure = privateFileExposure(path); !exposure.isEmpty()) {
        *problem = exposure + QStringLiteral(": it holds the unit's password");
        return std::nullopt;
    }
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        *problem = QStringLiteral("cannot read %1").arg(path);
        return std::nullopt;
    }
    ServerConfig c;
    c.path = QFileInfo(path).absoluteFilePath();
    const QString base = QFileInfo(path).absolutePath();
    c.unitAddress = textValue(ini, "unit/address").trimmed();
    c.account = textValue(ini, "unit/account", c.account);
    c.password = textValue(ini, "unit/password");
    if (qEnvironmentVariableIsSet(kPasswordVariable))
        c.password = qEnvironmentVariable(kPasswordVariable);
    c.linkBind = textValue(ini, "unit/bind").trimmed();
    const QString listen = textValue(ini, "listen/address").trimmed();
    if (!listen.isEmpty() && !c.listenAddress.setAddress(listen)) {
        *problem = QStringLiteral("listen/address is not an address: %1").arg(listen);
        return std::nullopt;
    }
    if (!readPort(ini, "unit/port", c.unitPort, problem) ||
        !readPort(ini, "listen/port", c.listenPort, problem))
        return std::nullopt;
    const QString certificate = textValue(ini, "listen/certificate").trimmed();
    const QString key = textValue(ini, "listen/key").trimmed();
    if (certificate.isEmpty() != key.isEmpty()) {
        *problem = QStringLiteral("listen/certificate and listen/key go together");
        return std::nullopt;
    }
    if (!certificate.isEmpty()) {
        c.certificate = resolved(base, certificate, {});
        c.key = resolved(base, key, {});
    }
    c.origins = listValue(ini.value("listen/origins"));
    c.presets = resolved(base, textValue(ini, "server/presets"), QStringLiteral("presets"));
    c.users = resolved(base, textValue(ini, "server/users"), QStringLiteral("users.json"));
    c.data = resolved(base, textValue(ini, "server/data"), QStringLiteral("data"));
    c.maxClients = std::clamp(ini.value("server/maxClients", c.maxClients).toInt(), 1, 1000);
    return c;
}

std::optional<std::pair<QHostAddress, quint16>> ServerConfigFile::parseListen(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^(?:\\[([0-9A-Fa-f:.]+)\\]|([^:\\[\\]]*))"
                                                        ":([0-9]{1,5})$"));
    const auto match = form.match(text.trimmed());
    if (!match.hasMatch()) return std::nullopt;
    const int port = match.captured(3).toInt();
    if (port > 65535) return std::nullopt; // 0: any free port
    QString host = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    QHostAddress address(QHostAddress::LocalHost);
    if (!host.isEmpty() && !address.setAddress(host)) return std::nullopt;
    return std::make_pair(address, static_cast<quint16>(port));
}

} // namespace sonaro::server
