// monitor and watch: what the unit streams and reports, until the time is over or an interrupt.
#include "Commands.h"

#include <QElapsedTimer>

#include <cmath>

namespace sonaroctl {

using namespace sonaro;

namespace {

constexpr int kFirstFrameMs = 10000; // unscaled: the login's requests to the first status frame

int secondsMs(double seconds)
{
    return seconds > 0 ? static_cast<int>(std::min(seconds * 1000.0, 2.0e9)) : -1;
}

// monitor: one line per status frame; --seconds count from the first.
class Monitor : public QObject
{
public:
    explicit Monitor(CtlSession& s) : QObject(&s), m_s(s)
    {
        connect(&s.core(), &SonaroCore::levelsChanged, this, &Monitor::levels);
        s.stream(s.scaled(kFirstFrameMs), [this] { ended(); }, {});
    }

private:
    void levels()
    {
        if (!m_streaming) {
            m_streaming = true;
            m_s.restartDeadline(secondsMs(m_s.settings().seconds));
        }
        const UnitRecord& r = m_s.core().table().record(1);
        m_s.console().report(m_s.settings().json ? jsonLine(levelsJson(r)) : levelsText(r));
    }
    void ended()
    {
        if (m_streaming)
            m_s.finish(kExitSuccess);
        else
            m_s.finish(kExitFailure, QStringLiteral("the unit sends no status frames"));
    }

    CtlSession& m_s;
    bool m_streaming = false;
};

// watch: one JSON object per event, the settings told by their catalogue keys.
class Watch : public QObject
{
public:
    explicit Watch(CtlSession& s) : QObject(&s), m_s(s)
    {
        SonaroCore& c = s.core();
        // The settings of every unit of the chain, by their keys with the unit ("unit.2....").
        for (int unit = 1; unit <= c.unitCount(); ++unit) {
            const QJsonObject own = settingsJson(c.table().record(unit), namesAndGroups(c, unit));
            for (auto it = own.begin(); it != own.end(); ++it)
                m_told.insert(unit == 1 ? it.key()
                                        : QStringLiteral("unit.%1.").arg(unit) + it.key(),
                              it.value());
        }
        event({{QStringLiteral("event"), QStringLiteral("start")},
               {QStringLiteral("schemaVersion"), kSchemaVersion},
               {QStringLiteral("address"), c.deviceAddress()},
               {QStringLiteral("port"), c.port()}});
        connect(&c, &SonaroCore::levelsChanged, this, &Watch::levels);
        connect(&c.delivery(), &Delivery::reportChanged, this,
                [this](int, const QList<ChangeId>& ids) { changes(ids, QStringLiteral("unit")); });
        connect(&c.delivery(), &Delivery::changeConfirmed, this, [this](const ChangeId& id) {
            verdict(id, QStringLiteral("delivered"));
            changes({id}, QStringLiteral("us"));
        });
        connect(&c.delivery(), &Delivery::changeNotDelivered, this,
                [this](const ChangeId& id) { verdict(id, QStringLiteral("undelivered")); });
        s.stream(
            secondsMs(s.settings().seconds), [&s] { s.finish(kExitSuccess); },
            [this](const QString& reason) {
                event({{QStringLiteral("event"), QStringLiteral("silence")},
                       {QStringLiteral("reason"), reason}});
            });
    }

private:
    void event(const QJsonObject& object) { m_s.console().report(jsonLine(object)); }

    void verdict(const ChangeId& id, const QString& what)
    {
        event({{QStringLiteral("event"), what},
               {QStringLiteral("unit"), id.unit},
               {QStringLiteral("key"), SettingCatalogue::key(id)}});
    }

    void changes(const QList<ChangeId>& ids, const QString& source)
    {
        for (const ChangeId& id : ids) {
            if (!id.valid() || SettingCatalogue::row(id.setting).frame == 0) continue;
            const UnitRecord& r = m_s.core().table().record(id.unit);
            const QString key = SettingCatalogue::key(id);
            const QJsonValue now = SettingCatalogue::row(id.setting).kind == ValueKind::Table
                                       ? groupTableJson(m_s.core().groupTable(id.unit))
                                       : SettingCatalogue::jsonValue(r, id);
            const QJsonValue old = m_told.value(key);
            if (old == now) continue;
            m_told.insert(key, now);
            event({{QStringLiteral("event"), QStringLiteral("change")},
                   {QStringLiteral("unit"), id.unit},
                   {QStringLiteral("key"), key},
                   {QStringLiteral("label"), SettingCatalogue::label(id, Language::English)},
                   {QStringLiteral("old"), old},
                   {QStringLiteral("new"), now},
                   {QStringLiteral("source"), source}});
        }
    }

    void levels()
    {
        const UnitRecord& r = m_s.core().table().record(1);
        int open = 0;
        int bit = 1;
        for (const auto channelOpen : r.inputOpen) {
            if (channelOpen) open |= bit;
            bit <<= 1;
        }
        QJsonObject line = levelsJson(r);
        if (open != m_lastOpen) {
            m_lastOpen = open;
            event({{QStringLiteral("event"), QStringLiteral("open")},
                   {QStringLiteral("open"), line.value(QStringLiteral("open"))}});
        }
        const double hz = m_s.settings().levelsHz;
        if (hz <= 0 || (m_levelClock.isValid() && m_levelClock.elapsed() < 1000.0 / hz)) return;
        m_levelClock.start();
        line.insert(QStringLiteral("event"), QStringLiteral("levels"));
        event(line);
    }

    CtlSession& m_s;
    QJsonObject m_told; // every setting as last told
    int m_lastOpen = -1;
    QElapsedTimer m_levelClock;
};

} // namespace

void runMonitor(CtlSession& s)
{
    s.start(false, [&s](int) { new Monitor(s); });
}

void runWatch(CtlSession& s)
{
    // Changes are told against the state read after the login.
    s.start(true, [&s](int) { new Watch(s); });
}

} // namespace sonaroctl
