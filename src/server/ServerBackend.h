#pragma once

#include "mixer/ControlSurface.h"
#include "model/SettingCatalogue.h"
#include "model/UnitRecord.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

// The server's one window on the unit. Everything the server shows comes from the records and
// names below, everything it changes goes through set(), rename() and the preset calls, and
// every confirmation comes back as a signal. The real backend runs on the core (the same session,
// login, watchdog and delivery as the desktop); the tests use a double.
namespace sonaro::server {

class ServerBackend : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // The unit's settings as the program holds them (what the pages show); unit 1..unitCount().
    virtual const UnitRecord& record(int unit) const = 0;
    // 1 when no unit reported more.
    virtual int unitCount() const = 0;
    // The name of a channel: nameId is an InputName or OutputName change id.
    virtual QString channelName(const ChangeId& nameId) const = 0;
    // {"connection": "connected"|"offline"|..., "address", "port", "indicator": bool, "account"}
    virtual QJsonObject linkState() const = 0;

    // Why no setting can be changed now (no unit is logged in, so the change could reach none);
    // empty while changes are taken.
    virtual QString whyNoChanges() const { return {}; }
    // A setting changed by a client. The value is the stored value, already parsed and held to
    // its range by SettingCatalogue::parseJson, and the client's role was already checked.
    // Applied: the change will be confirmed or reported as not delivered later.
    virtual Outcome set(const ChangeId& id, double stored) = 0;
    // Applied only once the name is kept; otherwise Refused with problem saying why.
    virtual Outcome rename(const ChangeId& nameId, const QString& name, QString* problem) = 0;
    // Paths inside the server's preset folder; problem says why when false is returned. A
    // preset recalled for an operator leaves the administrator settings as they are, as the
    // desktop does for the unit's user account.
    virtual bool recallPreset(const QString& path, bool administrator, QString* problem) = 0;
    virtual bool savePreset(const QString& path, QString* problem) = 0;

signals:
    // Record values (or names) changed; fromUnit when the unit reported them (front panel,
    // another program), false when they follow a set() or rename() of ours.
    void changed(const QList<sonaro::ChangeId>& ids, bool fromUnit);
    void confirmed(const sonaro::ChangeId& id);
    void notDelivered(const sonaro::ChangeId& id);
    // Levels and open states of unit 1 (the status stream).
    void levelsChanged();
    // Connection state, silence, re-login.
    void linkChanged();
};

} // namespace sonaro::server
