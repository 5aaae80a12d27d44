// login and show: what the unit holds, once its state was read.
#include "Commands.h"

#include "model/UnitRecord.h"

namespace sonaroctl {

using namespace sonaro;

OtherValue namesAndGroups(SonaroCore& core, int unit)
{
    return [&core, unit](const ChangeId& id) -> QJsonValue {
        if (id.setting == SettingId::Groups) return groupTableJson(core.groupTable(unit));
        const auto kind =
            id.setting == SettingId::InputName ? ChannelKind::Input : ChannelKind::Output;
        const std::optional<QString> name = core.channelName(unit, kind, id.index);
        return name ? QJsonValue(*name) : QJsonValue(QJsonValue::Undefined);
    };
}

OtherValue namesAndGroups(SonaroCore& core)
{
    return namesAndGroups(core, core.currentUnit());
}

namespace {

// Every unit of the chain: its number, the operator's name of it and its settings.
QJsonArray everyUnit(SonaroCore& core, int units)
{
    QJsonArray list;
    for (int unit = 1; unit <= units; ++unit)
        list.append(
            QJsonObject{{QStringLiteral("unit"), unit},
                        {QStringLiteral("name"), core.unitName(unit)},
                        {QStringLiteral("liveLevels"), SonaroCore::hasLiveLevels(unit)},
                        {QStringLiteral("settings"),
                         settingsJson(core.table().record(unit), namesAndGroups(core, unit))}});
    return list;
}

} // namespace

void runLogin(CtlSession& s)
{
    s.start(true, [&s](int units) {
        const SonaroCore& c = s.core();
        if (s.settings().json)
            s.console().report(jsonLine({{QStringLiteral("schemaVersion"), kSchemaVersion},
                                         {QStringLiteral("address"), c.deviceAddress()},
                                         {QStringLiteral("port"), c.port()},
                                         {QStringLiteral("user"), s.settings().user},
                                         {QStringLiteral("units"), units}}));
        else
            s.console().report(QStringLiteral("Logged in to %1:%2 as %3: %4 unit(s)")
                                   .arg(c.deviceAddress())
                                   .arg(c.port())
                                   .arg(s.settings().user)
                                   .arg(units));
        s.finish(kExitSuccess);
    });
}

void runShow(CtlSession& s)
{
    s.start(true, [&s](int units) {
        SonaroCore& c = s.core();
        const UnitRecord& r = c.surface().record();
        if (s.settings().json) {
            s.console().report(jsonLine(
                {{QStringLiteral("schemaVersion"), kSchemaVersion},
                 {QStringLiteral("unit"), c.currentUnit()},
                 {QStringLiteral("units"), everyUnit(c, units)},
                 {QStringLiteral("address"), c.deviceAddress()},
                 {QStringLiteral("port"), c.port()},
                 {QStringLiteral("adminName"), QString::fromStdString(accountText(r.adminName))},
                 {QStringLiteral("userName"), QString::fromStdString(accountText(r.userName))},
                 {QStringLiteral("settings"), settingsJson(r, namesAndGroups(c))}}));
        } else {
            s.console().report(QStringLiteral("Unit %1 of %2 at %3:%4\n\n")
                                   .arg(c.currentUnit())
                                   .arg(units)
                                   .arg(c.deviceAddress())
                                   .arg(c.port()) +
                               settingsText(r, namesAndGroups(c)) + QStringLiteral("\nGroups:\n") +
                               groupTableText(c.groupTable()));
        }
        s.finish(kExitSuccess);
    });
}

} // namespace sonaroctl
