#pragma once

#include "model/SettingCatalogue.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <deque>
#include <optional>

namespace sonaro {

// What an event of the log is about. The dock's kind filter lists them in this order.
enum class EventKind
{
    Connection,   // the connection moved: logging in, connected, disconnecting, offline
    Login,        // a login accepted, refused or unanswered
    Relogin,      // logged in again after a silence
    Silence,      // the unit stopped streaming
    Resend,       // a change the unit did not confirm is sent again
    NotDelivered, // a change the unit never confirmed
    Unit,         // a setting the unit changed by itself (front panel, another controller)
    Refused,      // an action the logged-in account may not take
    Address,      // the unit's address change, asked and reported
    Account,      // an account change, asked and confirmed
    Preset,       // presets opened and saved, the factory restore
    StateFile,    // the start-up state file read and written
    Storage,      // the database or a file that cannot be read or written
    Message,      // a message shown to the operator
    DroppedFrame  // a datagram dropped unread
};

// One entry of the event log.
struct Event
{
    QDateTime time;
    EventKind kind = EventKind::Message;
    // In English, as the log files keep it.
    QString text;
    // Our own texts: the template in the context "sonaro::EventLog" and its (masked) arguments,
    // so that the dock shows them in the operator's language. Null for a text from elsewhere.
    const char* source = nullptr;
    QStringList arguments;
    // What the first argument names: a setting, shown with its label in the current language,
    // or one of our own words (a QT_TRANSLATE_NOOP literal of the same context).
    std::optional<ChangeId> setting;
    const char* argumentSource = nullptr;

    // The text in the current language.
    QString shownText() const;
    // "time<TAB>kind key<TAB>text": one line of sonaro.log, of a saved log and of sonaroctl --log.
    QString line() const;
};

// Passwords never reach the log: the account fields of R, X and Y frames (also inside a longer
// text), padded account fields ("abc&&&&") and values after "password=" or "psw:" become "*".
QString maskSecrets(const QString& text);

// The time-stamped events of the program, the newest last, in memory and bounded: the oldest go
// once the capacity is reached. Every text that we did not write ourselves (messages, frames,
// file and database errors) is masked and made printable on one line before it is kept.
// Owned by the main thread.
class EventLog : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultCapacity = 5000;
    // Longer texts from elsewhere are cut (a datagram may be a kilobyte of anything).
    static constexpr int kMaxTextLength = 300;
    static constexpr std::array<EventKind, 15> kKinds = {
        EventKind::Connection, EventKind::Login,   EventKind::Relogin,
        EventKind::Silence,    EventKind::Resend,  EventKind::NotDelivered,
        EventKind::Unit,       EventKind::Refused, EventKind::Address,
        EventKind::Account,    EventKind::Preset,  EventKind::StateFile,
        EventKind::Storage,    EventKind::Message, EventKind::DroppedFrame};

    explicit EventLog(int capacity = kDefaultCapacity, QObject* parent = nullptr);

    // One of our own texts: source is marked with QT_TRANSLATE_NOOP("sonaro::EventLog", ...),
    // its %1..%9 are filled with the arguments (masked).
    void add(EventKind kind, const char* source, const QStringList& arguments = {});
    // A text from elsewhere: masked, kept as it is, never translated.
    void addText(EventKind kind, const QString& text);

    const std::deque<Event>& events() const { return m_events; }
    int capacity() const { return m_capacity; }

    // The kind's stable English key ("connection", "not-delivered", ...) for files and filters.
    static QString key(EventKind kind);
    static std::optional<EventKind> kindFromKey(const QString& key);
    // The kind's name in the current language.
    static QString label(EventKind kind);

public slots:
    // The delivery's reports of an operator change.
    void noteChangeResent(const sonaro::ChangeId& id, int attempt);
    void noteChangeNotDelivered(const sonaro::ChangeId& id);
    // Settings the unit changed by itself (its front panel, another controller).
    void noteChangedByUnit(int unit, const QList<sonaro::ChangeId>& ids);
    // An administrator-only setting or action refused to the account logged in as name.
    void noteRefused(const sonaro::ChangeId& setting, const QString& name);
    void noteRefusedAction(const char* action, const QString& name);

signals:
    void eventAdded(const sonaro::Event& event);

private:
    void append(Event event);
    void addSetting(EventKind kind, const char* source, const ChangeId& id,
                    const QStringList& more = {});

    int m_capacity;
    std::deque<Event> m_events;
};

} // namespace sonaro
