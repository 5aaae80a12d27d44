#include "mixer/EventLog.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <utility>

namespace sonaro {

namespace {

constexpr char kContext[] = "sonaro::EventLog";

struct KindNames
{
    EventKind kind;
    const char* key;
    const char* label;
};

constexpr KindNames kKindNames[] = {
    {EventKind::Connection, "connection", QT_TRANSLATE_NOOP("sonaro::EventLog", "Connection")},
    {EventKind::Login, "login", QT_TRANSLATE_NOOP("sonaro::EventLog", "Login")},
    {EventKind::Relogin, "relogin", QT_TRANSLATE_NOOP("sonaro::EventLog", "Re-login")},
    {EventKind::Silence, "silence", QT_TRANSLATE_NOOP("sonaro::EventLog", "Silence")},
    {EventKind::Resend, "resend", QT_TRANSLATE_NOOP("sonaro::EventLog", "Resend")},
    {EventKind::NotDelivered, "not-delivered",
     QT_TRANSLATE_NOOP("sonaro::EventLog", "Not delivered")},
    {EventKind::Unit, "unit", QT_TRANSLATE_NOOP("sonaro::EventLog", "Changed at the unit")},
    {EventKind::Refused, "refused", QT_TRANSLATE_NOOP("sonaro::EventLog", "Refused action")},
    {EventKind::Address, "address", QT_TRANSLATE_NOOP("sonaro::EventLog", "Address change")},
    {EventKind::Account, "account", QT_TRANSLATE_NOOP("sonaro::EventLog", "Account change")},
    {EventKind::Preset, "preset", QT_TRANSLATE_NOOP("sonaro::EventLog", "Preset")},
    {EventKind::StateFile, "state-file", QT_TRANSLATE_NOOP("sonaro::EventLog", "State file")},
    {EventKind::Storage, "storage", QT_TRANSLATE_NOOP("sonaro::EventLog", "Storage error")},
    {EventKind::Message, "message", QT_TRANSLATE_NOOP("sonaro::EventLog", "Message shown")},
    {EventKind::DroppedFrame, "dropped-frame",
     QT_TRANSLATE_NOOP("sonaro::EventLog", "Dropped frame")},
};
static_assert(std::size(kKindNames) == EventLog::kKinds.size());

const KindNames& namesOf(EventKind kind)
{
    for (const KindNames& names : kKindNames)
        if (names.kind == kind) return names;
    return kKindNames[0];
}

// %1..%9 of the template filled in one pass, so that an argument holding "%2" stays as it is.
QString fill(const QString& source, const QStringList& arguments)
{
    QString result;
    result.reserve(source.size());
    for (qsizetype i = 0; i < source.size(); ++i) {
        const QChar c = source[i];
        if (c == QLatin1Char('%') && i + 1 < source.size() && source[i + 1] >= QLatin1Char('1') &&
            source[i + 1] <= QLatin1Char('9')) {
            const qsizetype n = source[i + 1].unicode() - '1';
            if (n < arguments.size()) {
                result += arguments[n];
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

// One printable line: control characters written as \xNN (a datagram may hold anything, and a
// line break would split a log line), cut at the limit.
QString printable(const QString& text)
{
    QString result;
    result.reserve(std::min<qsizetype>(text.size(), EventLog::kMaxTextLength) + 8);
    for (const QChar c : text) {
        if (result.size() >= EventLog::kMaxTextLength) {
            result += QChar(0x2026); // …
            break;
        }
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0) || u == 0x2028 || u == 0x2029)
            result +=
                QStringLiteral("\\x") + QString::number(u, 16).rightJustified(2, u'0').toUpper();
        else
            result += c;
    }
    return result;
}

QString cleaned(const QString& text)
{
    return printable(maskSecrets(text));
}

} // namespace

QString maskSecrets(const QString& text)
{
    QString result = text;
    // R (login), X (account change) and Y (its answer): every field up to the end, checksum
    // included, since a checksum over a short password gives it away.
    static const QRegularExpression frame(QStringLiteral("%[RXY],[^#]*"));
    for (auto it = frame.globalMatch(result); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        for (qsizetype i = m.capturedStart() + 3; i < m.capturedEnd(); ++i)
            if (result[i] != QLatin1Char(',')) result[i] = QLatin1Char('*');
    }
    // An account field as the unit keeps it: up to six characters padded with "&" to seven.
    static const QRegularExpression padded(QStringLiteral(
        R"((?<![^\s,;:=%#"'()\[\]])[^\s,;&%#]{0,6}&{1,7}(?![^\s,;:=%#"'()\[\].!?]))"));
    for (auto it = padded.globalMatch(result); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedLength() == 7) result.replace(m.capturedStart(), 7, QString(7, u'*'));
    }
    static const QRegularExpression keyed(
        QStringLiteral(R"(\b(password|passwd|psw|pwd)(\s*[:=]\s*)\S+)"),
        QRegularExpression::CaseInsensitiveOption);
    result.replace(keyed, QStringLiteral("\\1\\2*****"));
    return result;
}

QString Event::shownText() const
{
    if (!source) return text;
    QStringList shown = arguments;
    if (setting && !shown.isEmpty()) shown[0] = SettingCatalogue::label(*setting);
    if (argumentSource && !shown.isEmpty())
        shown[0] = QCoreApplication::translate(kContext, argumentSource);
    return fill(QCoreApplication::translate(kContext, source), shown);
}

QString Event::line() const
{
    const QDateTime stamp = time.toOffsetFromUtc(time.offsetFromUtc());
    return stamp.toString(Qt::ISODateWithMs) + QLatin1Char('\t') + EventLog::key(kind) +
           QLatin1Char('\t') + text;
}

EventLog::EventLog(int capacity, QObject* parent)
    : QObject(parent), m_capacity(std::max(1, capacity))
{
}

// Only the pointer of source is kept: it must be a literal, as QT_TRANSLATE_NOOP's are.
void EventLog::add(EventKind kind, const char* source, const QStringList& arguments)
{
    Event event;
    event.kind = kind;
    event.source = source;
    for (const QString& argument : arguments)
        event.arguments << cleaned(argument);
    event.text = fill(QString::fromUtf8(source), event.arguments);
    append(std::move(event));
}

void EventLog::addText(EventKind kind, const QString& text)
{
    Event event;
    event.kind = kind;
    event.text = cleaned(text);
    append(std::move(event));
}

void EventLog::append(Event event)
{
    event.time = QDateTime::currentDateTime();
    while (static_cast<int>(m_events.size()) >= m_capacity)
        m_events.pop_front();
    m_events.push_back(std::move(event));
    emit eventAdded(m_events.back());
}

QString EventLog::key(EventKind kind)
{
    return QString::fromLatin1(namesOf(kind).key);
}

std::optional<EventKind> EventLog::kindFromKey(const QString& key)
{
    for (const KindNames& names : kKindNames)
        if (key == QLatin1String(names.key)) return names.kind;
    return std::nullopt;
}

QString EventLog::label(EventKind kind)
{
    return QCoreApplication::translate(kContext, namesOf(kind).label);
}

void EventLog::addSetting(EventKind kind, const char* source, const ChangeId& id,
                          const QStringList& more)
{
    Event event;
    event.kind = kind;
    event.source = source;
    event.setting = id;
    event.arguments << SettingCatalogue::label(id, Language::English) << more;
    event.text = fill(QString::fromUtf8(source), event.arguments);
    append(std::move(event));
}

void EventLog::noteChangeResent(const ChangeId& id, int attempt)
{
    addSetting(
        EventKind::Resend,
        QT_TRANSLATE_NOOP("sonaro::EventLog", "Not confirmed by the unit, sent again (%2): %1"), id,
        {QString::number(attempt)});
}

void EventLog::noteChangeNotDelivered(const ChangeId& id)
{
    addSetting(EventKind::NotDelivered,
               QT_TRANSLATE_NOOP("sonaro::EventLog", "Not delivered: the unit never confirmed %1"),
               id);
}

namespace {

const char* refusalSource(const QString& name)
{
    return name.isEmpty()
               ? QT_TRANSLATE_NOOP("sonaro::EventLog",
                                   "Refused: only the administrator may change %1")
               : QT_TRANSLATE_NOOP("sonaro::EventLog",
                                   "Refused: only the administrator may change %1 (logged in as "
                                   "%2)");
}

} // namespace

void EventLog::noteRefused(const ChangeId& setting, const QString& name)
{
    addSetting(EventKind::Refused, refusalSource(name), setting, {name});
}

void EventLog::noteRefusedAction(const char* action, const QString& name)
{
    Event event;
    event.kind = EventKind::Refused;
    event.source = refusalSource(name);
    event.argumentSource = action;
    event.arguments << QString::fromUtf8(action) << cleaned(name);
    event.text = fill(QString::fromUtf8(event.source), event.arguments);
    append(std::move(event));
}

void EventLog::noteChangedByUnit(int unit, const QList<ChangeId>& ids)
{
    (void)unit;
    // One line per setting: a front-panel change touches one or two at a time.
    for (const ChangeId& id : ids)
        addSetting(EventKind::Unit,
                   QT_TRANSLATE_NOOP("sonaro::EventLog", "Changed at the unit: %1"), id);
}

} // namespace sonaro
