#include "link/AddressFile.h"

#include "model/OperatorInterface.h"
#include "model/SavedFile.h"
#include "protocol/FrameCodec.h"

#include <QFile>
#include <QSettings>

#include <cctype>
#include <cstdio>
#include <optional>

namespace sonaro {

namespace {

const QString kIpKey = QStringLiteral("device/ip");
const QString kHostKey = QStringLiteral("device/host");
const QString kBindKey = QStringLiteral("device/bind");

// The file's text with key=value set in section "device": the first line of that key in the
// section is replaced, a missing key is added at the end of the section, a missing section at the
// end of the file. Every other line stays byte for byte.
QByteArray withDeviceKey(const QByteArray& text, const QByteArray& key, const QByteArray& value)
{
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    const QByteArray entry = key + '=' + value;
    qsizetype sectionEnd = -1; // index after the section's last line, -1 while outside it
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        if (line.startsWith('[')) {
            if (inSection) break;
            inSection = line.toLower() == "[device]";
            if (inSection) sectionEnd = i + 1;
            continue;
        }
        if (!inSection) continue;
        if (!line.isEmpty()) sectionEnd = i + 1;
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && line.left(equals).trimmed() == key) {
            lines[i] = entry;
            return lines.join('\n') + '\n';
        }
    }
    if (sectionEnd < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty()) lines.append(QByteArray());
        lines.append("[device]");
        lines.append(entry);
    } else {
        lines.insert(sectionEnd, entry);
    }
    return lines.join('\n') + '\n';
}

bool saveAddressFile(const QString& path, const QString& ip, std::optional<quint16> port,
                     OperatorInterface* op)
{
    // The value becomes one line of the file: nothing that could end it or start another.
    const QByteArray value = ip.toLatin1();
    for (const char c : value) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != ':' && c != '-') {
            if (op)
                op->showMessage(Severity::Error,
                                saveFailText(QStringLiteral("%1: \"%2\" is no address")
                                                 .arg(path, QString::fromLatin1(value))));
            return false;
        }
    }
    QByteArray text;
    QFile old(path);
    if (old.exists()) {
        if (!old.open(QIODevice::ReadOnly)) {
            if (op)
                op->showMessage(Severity::Error, saveFailText(QStringLiteral("%1: %2").arg(
                                                     path, old.errorString())));
            return false;
        }
        text = old.readAll();
    }
    text = withDeviceKey(text, "ip", value);
    if (port) text = withDeviceKey(text, "host", QByteArray::number(*port));
    const QString reason = saveWholeFile(path, text);
    if (reason.isEmpty()) return true;
    if (op) op->showMessage(Severity::Error, saveFailText(reason));
    return false;
}

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

bool writeAddressFile(const QString& path, const QString& ip, OperatorInterface* op)
{
    return saveAddressFile(path, ip, std::nullopt, op);
}

bool writeAddressFile(const QString& path, const QString& ip, quint16 port, OperatorInterface* op)
{
    return saveAddressFile(path, ip, port, op);
}

} // namespace sonaro
