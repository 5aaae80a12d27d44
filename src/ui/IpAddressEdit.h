#pragma once

#include <QFrame>
#include <QHostAddress>

#include <array>

class QLineEdit;

namespace sonaro::ui {

// An IPv4 address as four octet boxes. Typing three digits or "." moves to the next box,
// Backspace in an empty box goes back. An empty box is a missing part, never 0: an address the
// operator did not finish is not taken for another one.
class IpAddressEdit : public QFrame
{
    Q_OBJECT
public:
    explicit IpAddressEdit(QWidget* parent = nullptr);

    // Dotted text; parts beyond 255 or missing parts become 0.
    void setAddress(const QString& address);
    // "%u.%u.%u.%u". An empty box leaves its part empty ("10..0.1") and a part beyond 255 stays
    // as typed: parseIpv4 refuses both.
    QString text() const;
    // Every box holds a number from 0 to 255.
    bool isComplete() const;
    // Null unless complete.
    QHostAddress address() const { return isComplete() ? QHostAddress(text()) : QHostAddress(); }
    QLineEdit* octetEdit(int index) const { return m_octets[static_cast<std::size_t>(index)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int indexOf(QObject* edit) const;

    std::array<QLineEdit*, 4> m_octets{};
};

} // namespace sonaro::ui
