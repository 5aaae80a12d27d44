#include "mixer/FileActions.h"

#include "mixer/ControlSurface.h"
#include "mixer/StateFile.h"
#include "model/SettingCatalogue.h"
#include "store/Database.h"
#include "store/DeviceRegistry.h"
#include "store/GroupStore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

namespace sonaro {

namespace {

QString translated(const char* text)
{
    return QCoreApplication::translate("sonaro::FileActions", text);
}

// The administrator's settings in a preset keep the unit's values (those of session) when a user
// opens it. Returns the names of those whose values in the file differed, in language.
QStringList keepAdministratorSettings(UnitRecord& loaded, const UnitRecord& session,
                                      Language language)
{
    QStringList kept;
    for (const SettingRow& row : SettingCatalogue::rows()) {
        if (!row.administrator) continue;
        for (int i = 0; i < SettingCatalogue::indexCount(row.scope); ++i) {
            if (row.wire(loaded, i) == row.wire(session, i)) continue;
            row.set(loaded, i, row.get(session, i));
            const QString name = SettingCatalogue::name(row.id, language);
            if (!kept.contains(name)) kept << name;
        }
    }
    return kept;
}

} // namespace

FileActions::FileActions(UnitTable& table, ControlSurface& surface, OperatorInterface& op)
    : m_table(table), m_surface(surface), m_op(op)
{
}

void FileActions::setFactoryDatabaseReset(std::function<void()> reset)
{
    m_resetDatabase = std::move(reset);
}

bool FileActions::openPreset(const std::function<QString()>& choosePath)
{
    if (!m_surface.connected()) {
        m_op.showMessage(Severity::Error, QStringLiteral("Cannot connect."));
        return false;
    }
    const QString path = choosePath();
    if (path.isEmpty()) return false;
    if (!m_db) {
        m_op.showMessage(Severity::Error, QStringLiteral("Open Fail"));
        return false;
    }
    // The file dialog ran its own event loop: the link may have dropped meanwhile.
    if (!m_surface.connected()) {
        m_op.showMessage(Severity::Error, QStringLiteral("Open Fail"));
        return false;
    }
    const UnitRecord before = m_surface.record();
    if (!StateFile::openPreset(path, m_surface.record(), *m_db, m_op, m_surface.unit()))
        return false;
    QStringList kept;
    if (!m_surface.administrator())
        kept = keepAdministratorSettings(m_surface.record(), before,
                                         SettingCatalogue::installedLanguage());
    m_surface.reloadGroups();
    m_surface.sendPresetSequence();
    emit m_surface.recordReplaced();
    emit m_surface.refreshNeeded();
    if (kept.isEmpty()) {
        m_op.showMessage(Severity::Information, QStringLiteral("Open successfully"));
    } else {
        m_op.showMessage(
            Severity::Information,
            translated("Open successfully. Only the administrator may change these, so they "
                       "keep the unit's values: %1.")
                .arg(kept.join(translated(", "))));
    }
    return true;
}

bool FileActions::savePreset(const std::function<QString()>& choosePath)
{
    const QString path = choosePath();
    if (path.isEmpty()) return false;
    if (!writeSettingsFile(path, m_surface.unit())) return false;
    m_op.showMessage(Severity::Information, QStringLiteral("Save successfully"));
    return true;
}

QString FileActions::presetFilePath(const QString& chosen)
{
    if (chosen.isEmpty()) return chosen;
    const QString name = QFileInfo(chosen).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && dot < name.size() - 1) return chosen;
    // "room." becomes "room.ini", not "room..ini".
    return chosen +
           (chosen.endsWith(QLatin1Char('.')) ? QStringLiteral("ini") : QStringLiteral(".ini"));
}

bool FileActions::writeStateFile(const QString& path, int unit)
{
    if (m_db && m_db->isConnected() && !m_db->directoryWritable()) {
        m_db->reportProblem(
            Database::Problem::ReadOnlyDirectory,
            translated("%1 was not written: the data directory cannot be written.").arg(path));
        return false;
    }
    return writeSettingsFile(path, unit);
}

bool FileActions::writeSettingsFile(const QString& path, int unit)
{
    // Without a database the file still keeps every setting, with no groups.
    const GroupFileRecords groups = m_db ? GroupStore(*m_db).fileGroups(unit) : GroupFileRecords{};
    return StateFile::write(path, m_table.record(unit), groups, m_op);
}

bool FileActions::readStartupState(const QString& path, int unit)
{
    if (!m_db) return false;
    const bool loaded = StateFile::readStartup(path, m_table.record(unit), *m_db, m_op, unit) ==
                        StateFile::ReadResult::Loaded;
    m_surface.reloadGroups();
    emit m_surface.recordReplaced();
    emit m_surface.refreshNeeded();
    return loaded;
}

bool FileActions::factoryRestore()
{
    if (!m_surface.requireAdministrator(
            QT_TRANSLATE_NOOP("sonaro::EventLog", "the factory restore")))
        return false;
    // Without a unit the restore changes only what is kept here until it is sent.
    const bool offline = !m_surface.connected();
    const QString question =
        offline ? QCoreApplication::translate(
                      "sonaro::FileActions",
                      "No unit is connected: the factory settings replace only the local "
                      "settings until they are sent to a unit. Restore Factory Settings?")
                : QStringLiteral("Restore Factory Settings?");
    if (!m_op.confirm(Severity::Notice, question)) return false;
    if (m_resetDatabase)
        m_resetDatabase();
    else if (m_db)
        DeviceRegistry(*m_db).resetChannelsForFactory();
    applyFactoryValues(m_surface.record());
    m_surface.sendFactorySequence();
    emit m_surface.recordReplaced();
    emit m_surface.refreshNeeded();
    m_surface.reportWhenDelivered(
        Severity::Information,
        QCoreApplication::translate("sonaro::FileActions", "Restore Successfully."));
    return true;
}

} // namespace sonaro
