#pragma once

#include <QFrame>
#include <QHostAddress>

#include <array>

class QLineEdit;

namespace sonaro::ui {

// An IPv4 address as four octet boxes. Typing three digits or "." moves to the next box,
// Backspace in an empty box goes back; an empty box counts as 0.
class IpAddressEdit : public QFrame
{
    Q_OBJECT
public:
    explicit IpAddressEdit(QWidget* parent = nullptr);

    // Dotted text; parts beyond 255 or missing parts become 0.
    void setAddress(const QString& address);
    // "%u.%u.%u.%u".
    QString text() const;
    QHostAddress address() const { return QHostAddress(text()); }
    QLineEdit* octetEdit(int index) const { return m_octets[static_cast<std::size_t>(index)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int indexOf(QObject* edit) const;

    std::array<QLineEdit*, 4> m_octets{};
};

} // namespace sonaro::ui
