#include "link/AddressFile.h"

#include "protocol/FrameCodec.h"

#include <QSettings>

#include <cstdio>

namespace sonaro {

namespace {

const QString kIpKey = QStringLiteral("device/ip");
const QString kHostKey = QStringLiteral("device/host");
const QString kBindKey = QStringLiteral("device/bind");

} // namespace

std::string normaliseAddress(std::string_view text)
{
    int parts[4] = {0, 0, 0, 0};
    int start = 0;
    for (int i = 0; i < 4 && start >= 0 && start <= static_cast<int>(text.size()); ++i) {
        const int dot = findPattern(text, ".", start);
        const int end = dot < 0 ? static_cast<int>(text.size()) : dot;
        parts[i] = decimalField(
            text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
        start = dot < 0 ? -1 : dot + 1;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d.%d.%d.%d", parts[0], parts[1], parts[2], parts[3]);
    return buffer;
}

QString normaliseAddress(const QString& text)
{
    const QByteArray latin = text.toLatin1();
    return QString::fromStdString(normaliseAddress(
        std::string_view(latin.constData(), static_cast<std::size_t>(latin.size()))));
}

AddressFileEntry readAddressFile(const QString& path)
{
    AddressFileEntry entry;
    const QSettings file(path, QSettings::IniFormat);
    const QString ip = file.value(kIpKey, QString()).toString().trimmed();
    if (!ip.isEmpty()) entry.ip = normaliseAddress(ip);
    const QString host = file.value(kHostKey, QString()).toString().trimmed();
    const QByteArray hostText = host.toLatin1();
    const int port = decimalField(
        std::string_view(hostText.constData(), static_cast<std::size_t>(hostText.size())));
    if (port > 0 && port <= 65535) entry.port = static_cast<quint16>(port);
    entry.bind = file.value(kBindKey, QString()).toString().trimmed();
    return entry;
}

bool writeAddressFile(const QString& path, const QString& ip)
{
    QSettings file(path, QSettings::IniFormat);
    file.setValue(kIpKey, ip);
    file.sync();
    return file.status() == QSettings::NoError;
}

bool writeAddressFile(const QString& path, const QString& ip, quint16 port)
{
    QSettings file(path, QSettings::IniFormat);
    file.setValue(kIpKey, ip);
    file.setValue(kHostKey, QString::number(port));
    file.sync();
    return file.status() == QSettings::NoError;
}

} // namespace sonaro
