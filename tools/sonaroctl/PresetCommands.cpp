// preset save, load and show: the preset file of the desktop's OPEN FILE and SAVE FILE.
#include "Commands.h"
#include "FileChecks.h"

#include "mixer/FileActions.h"
#include "mixer/StateFile.h"

namespace sonaroctl {

using namespace sonaro;

namespace {

// The file read and decoded; the reason when it is no preset (nothing is sent then).
QString readPreset(const QString& path, UnitRecord& record, GroupFileRecords& groups)
{
    QByteArray data;
    QString problem = readRegularFile(path, static_cast<qint64>(StateFile::kFileSize) + 1, data);
    if (problem.isEmpty() && !StateFile::decode(data, record, groups, &problem))
        problem = QStringLiteral("%1: %2").arg(escapeControls(path), problem);
    return problem;
}

QString presetText(const CtlSettings& o, const UnitRecord& record, const GroupFileRecords& groups,
                   const QList<ChangeId>& bad)
{
    QString text = QStringLiteral("Preset %1 (saved by %2)\n\n")
                       .arg(escapeControls(o.file),
                            escapeControls(QString::fromStdString(accountText(record.loginName)))) +
                   settingsText(record);
    QStringList members;
    for (const QJsonValue& group : groupsJson(groups)) {
        QStringList serials;
        for (const QJsonValue& serial : group[QStringLiteral("members")].toArray())
            serials << QString::number(serial.toInt());
        members << QStringLiteral("  group %1: %2")
                       .arg(group[QStringLiteral("groupId")].toInt())
                       .arg(serials.isEmpty() ? QStringLiteral("-")
                                              : serials.join(QLatin1Char(' ')));
    }
    text += QStringLiteral("\nGroups (channel serial ids):\n") +
            (members.isEmpty() ? QStringLiteral("  none") : members.join(QLatin1Char('\n'))) +
            QLatin1Char('\n');
    if (!bad.isEmpty()) {
        text += QStringLiteral("\nOut of range (no unit takes these values):\n");
        for (const ChangeId& id : bad)
            text +=
                QStringLiteral("  ! %1 (%2): %3\n")
                    .arg(SettingCatalogue::label(id, Language::English), SettingCatalogue::key(id))
                    .arg(SettingCatalogue::storedValue(record, id));
    }
    return text;
}

} // namespace

int runPresetShow(const CtlSettings& o, Console& console)
{
    UnitRecord record = zeroRecord();
    GroupFileRecords groups{};
    const QString problem = readPreset(o.file, record, groups);
    if (!problem.isEmpty()) return console.conclude(kExitFailure, problem);
    const QList<ChangeId> bad = outOfRange(record);
    if (o.json) {
        QJsonArray keys;
        for (const ChangeId& id : bad)
            keys.append(SettingCatalogue::key(id));
        console.report(jsonLine(
            {{QStringLiteral("schemaVersion"), kSchemaVersion},
             {QStringLiteral("file"), o.file},
             {QStringLiteral("loginName"), QString::fromStdString(accountText(record.loginName))},
             {QStringLiteral("settings"), settingsJson(record)},
             {QStringLiteral("groups"), groupsJson(groups)},
             {QStringLiteral("outOfRange"), keys}}));
    } else {
        console.report(presetText(o, record, groups, bad));
    }
    if (!bad.isEmpty())
        console.note(QStringLiteral("%1: %2 value(s) out of range")
                         .arg(escapeControls(o.file))
                         .arg(bad.size()));
    return console.conclude(kExitSuccess, {});
}

void runPresetSave(CtlSession& s)
{
    const QString path = FileActions::presetFilePath(s.settings().file);
    const QString problem = checkFileTarget(path);
    if (!problem.isEmpty()) {
        s.finish(kExitFailure, problem);
        return;
    }
    s.start(true, [&s, path](int) {
        // "Save Fail" with its reason is said by the file actions.
        if (!s.core().files().savePreset([path] { return path; })) {
            s.finish(kExitFailure, QStringLiteral("cannot write %1").arg(escapeControls(path)));
            return;
        }
        s.console().report(s.settings().json
                               ? jsonLine({{QStringLiteral("saved"), path}})
                               : QStringLiteral("Saved %1").arg(escapeControls(path)));
        s.finish(kExitSuccess);
    });
}

void runPresetLoad(CtlSession& s)
{
    // A file that is no preset is refused before anything reaches the unit.
    UnitRecord record = zeroRecord();
    GroupFileRecords groups{};
    const QString path = s.settings().file;
    const QString problem = readPreset(path, record, groups);
    if (!problem.isEmpty()) {
        s.finish(kExitFailure, problem);
        return;
    }
    s.start(true, [&s, path](int) {
        s.change(
            QStringLiteral("preset load %1").arg(escapeControls(path)),
            [&s, path] {
                // "Open Fail" with its reason is said by the file actions.
                return s.core().files().openPreset([path] { return path; }) ? Outcome::Applied
                                                                            : Outcome::Inapplicable;
            },
            [&s, path](const QList<ChangeId>&, bool) {
                s.console().report(s.settings().json
                                       ? jsonLine({{QStringLiteral("loaded"), path}})
                                       : QStringLiteral("Loaded %1").arg(escapeControls(path)));
                s.finish(kExitSuccess);
            },
            QStringLiteral("cannot open %1").arg(escapeControls(path)));
    });
}

} // namespace sonaroctl
