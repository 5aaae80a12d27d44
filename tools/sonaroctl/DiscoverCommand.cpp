// discover: the units that answer on the /24 of the bound address; no login, no database.
#include "Commands.h"

#include "link/AddressFile.h"
#include "link/Discovery.h"
#include "model/HostAddressRules.h"
#include "store/DataDirectory.h"

#include <QTimer>

#include <algorithm>

namespace sonaroctl {

using namespace sonaro;

namespace {

constexpr int kDiscoverMs = 60000; // unscaled guard: the sweep ends by itself well before this

// Only what could be a unit is listed: a dotted address with parts up to 255 and a port of 1 to
// 65535, in address order.
int listUnits(std::vector<DiscoveredUnit> units, const CtlSettings& o, Console& console)
{
    std::sort(units.begin(), units.end(), [](const auto& a, const auto& b) {
        return QHostAddress(a.address).toIPv4Address() < QHostAddress(b.address).toIPv4Address();
    });
    QJsonArray list;
    QStringList lines;
    int ignored = 0;
    for (const DiscoveredUnit& u : units) {
        quint32 ip = 0;
        bool portOk = false;
        const int port = u.port.toInt(&portOk);
        if (!parseIpv4(u.address, &ip) || !portOk || port < 1 || port > 65535) {
            ++ignored;
            continue;
        }
        list.append(QJsonObject{{QStringLiteral("address"), u.address},
                                {QStringLiteral("port"), port},
                                {QStringLiteral("adminName"), u.firstName},
                                {QStringLiteral("userName"), u.secondName}});
        lines << QStringLiteral("%1 %2 %3 %4")
                     .arg(u.address)
                     .arg(port)
                     .arg(escapeControls(u.firstName), escapeControls(u.secondName));
    }
    if (ignored > 0)
        console.note(
            QStringLiteral("ignored %1 answer(s) with an impossible address or port").arg(ignored));
    if (o.json)
        console.report(jsonArrayLine(list));
    else if (!lines.isEmpty())
        console.report(lines.join(QLatin1Char('\n')));
    return console.conclude(kExitSuccess, {});
}

// One sweep with the link state it needs, gone once it told its status.
class Search : public QObject
{
public:
    Search(const CtlSettings& o, Console& console, const LinkTimings& timings,
           std::function<void(int)> finished, QObject* parent)
        : QObject(parent), m_settings(o), m_console(console), m_state(m_table, timings),
          m_finished(std::move(finished))
    {
        m_deadline.setSingleShot(true);
        connect(&m_deadline, &QTimer::timeout, this, [this] {
            end(m_console.conclude(kExitFailure, QStringLiteral("the search did not end")));
        });
    }

    void start(const QHostAddress& bind, quint16 port, int limitMs)
    {
        if (!bind.isNull()) m_state.bindAddress = bind; // else any address
        m_state.port = port;
        m_discovery = std::make_unique<Discovery>(m_state, m_console);
        m_discovery->setSweepAddress(bind);
        connect(m_discovery.get(), &Discovery::finished, this,
                [this] { end(listUnits(m_discovery->results(), m_settings, m_console)); });
        if (!m_discovery->start()) {
            end(m_console.conclude(kExitFailure, m_discovery->errorText()));
            return;
        }
        m_deadline.start(limitMs);
    }

private:
    void end(int status)
    {
        if (std::exchange(m_ended, true)) return;
        m_deadline.stop();
        // Often told from inside the sweep's own signal: its socket goes on the next turn.
        QTimer::singleShot(0, this, [this, status] {
            m_discovery.reset();
            m_finished(status);
        });
    }

    const CtlSettings& m_settings;
    Console& m_console;
    UnitTable m_table;
    LinkState m_state;
    std::unique_ptr<Discovery> m_discovery;
    QTimer m_deadline;
    std::function<void(int)> m_finished;
    bool m_ended = false;
};

} // namespace

void runDiscover(const CtlSettings& o, Console& console, int timingScale, QObject* owner,
                 std::function<void(int)> finished)
{
    const AddressFileEntry entry =
        readAddressFile(DataDirectory::resolve(o.dataDir).addressFilePath());
    const QString bind = !o.bindAddress.isEmpty() ? o.bindAddress : entry.bind;
    // Nothing bound: the host's own network would be probed. Only when asked for.
    if (bind.isEmpty() && !o.anyNetwork) {
        finished(console.conclude(kExitUsage,
                                  QStringLiteral("refusing to probe the network of this host with "
                                                 "nothing bound: give --bind ADDR to choose the "
                                                 "network, or --any-network")));
        return;
    }
    const int scale = std::max(1, timingScale);
    auto* search = new Search(o, console, scale > 1 ? LinkTimings{}.scaled(scale) : LinkTimings{},
                              std::move(finished), owner);
    search->start(bind.isEmpty() ? QHostAddress() : QHostAddress(bind),
                  o.port > 0 ? static_cast<quint16>(o.port) : entry.port,
                  std::max(1, kDiscoverMs / scale));
}

} // namespace sonaroctl
