// set: one setting of the catalogue through the desktop's own control or editor action.
#include "Commands.h"

namespace sonaroctl {

using namespace sonaro;

namespace {

QString labelOf(const ChangeId& id)
{
    return SettingCatalogue::label(id, Language::English);
}

// Why a setting does not apply now, and what would make it apply.
QString inapplicable(const ChangeId& id)
{
    const int number =
        SettingCatalogue::numbers(SettingCatalogue::row(id.setting).scope, id.index).first;
    switch (id.setting) {
    case SettingId::OutputGain:
        return QStringLiteral("%1: output %2 is muted: unmute it first (sonaroctl set "
                              "output-mute %2 off)")
            .arg(labelOf(id))
            .arg(number);
    case SettingId::Threshold:
        return QStringLiteral("%1: the unit sets its threshold itself in auto mode: switch to "
                              "manual first (sonaroctl set automix-mode manual)")
            .arg(labelOf(id));
    default:
        return QStringLiteral("%1 does not apply now").arg(labelOf(id));
    }
}

void report(CtlSession& s, const QList<ChangeId>& confirmed, bool changed)
{
    const SetRequest& q = s.settings().set;
    const UnitRecord& r = s.core().surface().record();
    if (s.settings().json) {
        QJsonObject settings;
        for (const ChangeId& id : confirmed)
            settings.insert(SettingCatalogue::key(id), SettingCatalogue::jsonValue(r, id));
        s.console().report(
            jsonLine({{QStringLiteral("schemaVersion"), kSchemaVersion},
                      {QStringLiteral("key"), SettingCatalogue::key(q.id)},
                      {QStringLiteral("label"), labelOf(q.id)},
                      {QStringLiteral("value"), SettingCatalogue::jsonValue(r, q.id)},
                      {QStringLiteral("changed"), changed},
                      {QStringLiteral("settings"), settings}}));
        return;
    }
    QString text = QStringLiteral("%1: %2 (%3)\n")
                       .arg(labelOf(q.id), SettingCatalogue::text(r, q.id),
                            changed ? QStringLiteral("changed") : QStringLiteral("unchanged"));
    // Linked channels that followed.
    for (const ChangeId& id : confirmed)
        if (!(id == q.id))
            text +=
                QStringLiteral("  with %1: %2\n").arg(labelOf(id), SettingCatalogue::text(r, id));
    s.console().report(text);
}

} // namespace

void runSet(CtlSession& s)
{
    s.start(true, [&s](int units) {
        SetRequest q = s.settings().set;
        // Without a unit in its key the setting is the unit --unit chose.
        if (!q.unitNamed) q.id.unit = s.core().currentUnit();
        if (q.id.unit > units) {
            s.finish(kExitUsage, QStringLiteral("%1: the unit reports %2 unit(s)")
                                     .arg(SettingCatalogue::key(q.id))
                                     .arg(units));
            return;
        }
        if (!q.note.isEmpty())
            s.console().note(QStringLiteral("%1: %2").arg(labelOf(q.id), q.note));
        s.change(
            QStringLiteral("set ") + SettingCatalogue::key(q.id),
            [&s, q] { return s.core().applySetting(q.id, q.stored); },
            [&s](const QList<ChangeId>& confirmed, bool changed) {
                report(s, confirmed, changed);
                s.finish(kExitSuccess);
            },
            inapplicable(q.id));
    });
}

} // namespace sonaroctl
