#pragma once

#include <QHostAddress>
#include <QString>

#include <string>
#include <string_view>

// The address file ip.ini: section "device", keys ip (the unit's address), host (the link port)
// and the optional bind (the local address the link binds).
namespace sonaro {

class OperatorInterface;

// Splits at "." and rebuilds "%d.%d.%d.%d" from the decimal value of each part, so
// "192.168.001.010" becomes "192.168.1.10". Missing parts count as 0.
std::string normaliseAddress(std::string_view text);
QString normaliseAddress(const QString& text);

struct AddressFileEntry
{
    QString ip;          // normalised; empty when the file has none
    quint16 port = 5000; // a missing, empty or unusable host gives 5000
    QString bind;        // empty when not set
};

AddressFileEntry readAddressFile(const QString& path);
// Writes the unit address (and the port, when given) into section "device", keeping every other
// line of the file as it stands. The file is replaced whole or not at all; a failure is reported
// to op as "Save Fail: <reason>" when op is given.
bool writeAddressFile(const QString& path, const QString& ip, OperatorInterface* op = nullptr);
bool writeAddressFile(const QString& path, const QString& ip, quint16 port,
                      OperatorInterface* op = nullptr);

} // namespace sonaro
