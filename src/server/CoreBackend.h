#pragma once

#include "mixer/SonaroCore.h"
#include "server/ServerBackend.h"
#include "server/ServerConfig.h"
#include "server/ServerOperator.h"

#include <QTimer>

#include <memory>
#include <vector>

namespace sonaro {
class DataDirectoryLock;
}

// The server's backend on the program's own core: one login with the configured account, the
// same session, watchdog, re-login and delivery as the desktop, every setting through the core's
// applySetting (linked channels, permissions and confirmation included), names through its
// database and presets through its file actions.
//
// Clients hear about every setting whose value changed, whoever changed it: after each call of
// ours the record is compared with what clients were last told (linked channels follow a fader,
// a preset changes hundreds of settings), and so it is after each report of the unit.
namespace sonaro::server {

struct CoreBackendOptions
{
    CoreOptions core; // data directory, link bind, unit address and port, timings
    QString account;
    QString password;
    // A new login after the unit could not be reached or dropped the link, and after it refused
    // the account (a wrong password is not tried again at once).
    int retryMs = 5000;
    int refusedRetryMs = 60000;
    // Where the core's messages go (standard error when empty).
    ServerOperator::Sink messages;
};

class CoreBackend : public ServerBackend
{
    Q_OBJECT

public:
    // The core's options from the server's configuration: its data directory, the link's bind
    // address, the unit's address and port, and the account.
    static CoreBackendOptions optionsFor(const ServerConfig& config);

    explicit CoreBackend(CoreBackendOptions options, QObject* parent = nullptr);
    // Writes the state file, switches the status stream off and stops the link.
    ~CoreBackend() override;

    // Takes the data directory (one program per directory), starts the core and logs in when a
    // unit is configured; problem says why when false.
    bool start(QString* problem);

    const UnitRecord& record(int unit) const override;
    int unitCount() const override { return m_units; }
    QString channelName(const ChangeId& nameId) const override;
    QJsonObject linkState() const override;
    QString whyNoChanges() const override;
    Outcome set(const ChangeId& id, double stored) override;
    Outcome rename(const ChangeId& nameId, const QString& name, QString* problem) override;
    bool recallPreset(const QString& path, bool administrator, QString* problem) override;
    bool savePreset(const QString& path, QString* problem) override;

private:
    void wire();
    void logIn();
    void connectionChanged(Connection connection);
    void unitsCounted(int count);
    // Compares the record of unit with what clients were last told and tells them the difference.
    void publish(int unit, bool fromUnit);
    void publishAll(bool fromUnit);

    CoreBackendOptions m_options;
    ServerOperator m_operator;
    std::unique_ptr<DataDirectoryLock> m_lock;
    std::unique_ptr<SonaroCore> m_core;
    // What clients were last told, per unit (index 0 unused).
    std::vector<UnitRecord> m_told;
    int m_units = 1;
    bool m_started = false;
    bool m_refused = false;
    QTimer m_retry;
};

} // namespace sonaro::server
