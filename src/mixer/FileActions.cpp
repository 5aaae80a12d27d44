#include "mixer/FileActions.h"

#include "mixer/ControlSurface.h"
#include "mixer/StateFile.h"
#include "store/Database.h"
#include "store/DeviceRegistry.h"

#include <QCoreApplication>
#include <QSaveFile>

namespace sonaro {

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
    if (!StateFile::openPreset(path, m_surface.record(), *m_db, m_op)) return false;
    m_surface.reloadGroups();
    m_surface.sendPresetSequence();
    emit m_surface.refreshNeeded();
    m_op.showMessage(Severity::Information, QStringLiteral("Open successfully"));
    return true;
}

bool FileActions::savePreset(const std::function<QString()>& choosePath)
{
    const QString path = choosePath();
    if (path.isEmpty()) return false;
    if (!writeStateFile(path)) return false;
    m_op.showMessage(Severity::Information, QStringLiteral("Save successfully"));
    return true;
}

bool FileActions::writeStateFile(const QString& path)
{
    if (m_db) return StateFile::write(path, m_table.record(1), *m_db, m_op);
    // Without a database the file still keeps every setting, with no groups.
    const QByteArray bytes = StateFile::encode(m_table.record(1), GroupFileRecords{});
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        m_op.showMessage(Severity::Error, QStringLiteral("Save Fail"));
        return false;
    }
    return true;
}

bool FileActions::readStartupState(const QString& path)
{
    if (!m_db) return false;
    const bool loaded = StateFile::readStartup(path, m_table.record(1), *m_db, m_op) ==
                        StateFile::ReadResult::Loaded;
    m_surface.reloadGroups();
    emit m_surface.refreshNeeded();
    return loaded;
}

bool FileActions::factoryRestore()
{
    if (!m_surface.requireAdministrator()) return false;
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
    emit m_surface.refreshNeeded();
    m_surface.reportWhenDelivered(
        Severity::Information,
        QCoreApplication::translate("sonaro::FileActions", "Restore Successfully."), QString());
    return true;
}

} // namespace sonaro
