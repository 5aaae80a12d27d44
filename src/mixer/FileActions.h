#pragma once

#include "model/OperatorInterface.h"
#include "model/UnitTable.h"

#include <QString>

#include <functional>

namespace sonaro {

class ControlSurface;
class Database;

// The operator's file actions and the factory restore: the start-up state file (read once at
// start-up, written at Disconnect and close), opening and saving presets, and the factory
// restore. Each changes the current unit's record and hands the sending to the control surface.
class FileActions
{
public:
    FileActions(UnitTable& table, ControlSurface& surface, OperatorInterface& op);

    // Presets and the state file carry the groups of this database. Without one a preset cannot
    // be opened and files carry no groups.
    void setDatabase(Database* db) { m_db = db; }
    // Overrides the factory restore's database reset (tests).
    void setFactoryDatabaseReset(std::function<void()> reset);

    // "OPEN FILE": needs a connected unit ("Cannot connect." before any file is chosen), reads
    // the chosen file (an empty path means the operator cancelled), rebuilds the groups and
    // sends the whole record. True when the preset was opened. A user (not the administrator)
    // gets every setting of the file except the administrator's own (routing, maximum open
    // channels, hold time, automix mode and threshold, panel lock, device mode): those keep the
    // unit's values, and the message names the ones that differed.
    bool openPreset(const std::function<QString()>& choosePath);
    // "SAVE FILE": writes the record of the unit shown and its groups; no connection needed. "Save
    // successfully" only once the file is complete on disk; otherwise "Save Fail: <reason>".
    bool savePreset(const std::function<QString()>& choosePath);
    // The file name a preset is saved under: the chosen one, with ".ini" added when the file
    // name itself has no suffix (a dot in a folder's name does not count).
    static QString presetFilePath(const QString& chosen);
    // The start-up state file, written at Disconnect and close, read once at start-up. Not
    // written when the data directory was found read-only (the operator was told at start-up).
    // Unit 1 keeps data.ini; the other units of a cascade keep files of their own.
    bool writeStateFile(const QString& path, int unit = 1);
    bool readStartupState(const QString& path, int unit = 1);
    // Administrator only. Asks first; returns false when refused or when the operator said No.
    bool factoryRestore();

private:
    bool writeSettingsFile(const QString& path, int unit);

    UnitTable& m_table;
    ControlSurface& m_surface;
    OperatorInterface& m_op;
    Database* m_db = nullptr;
    std::function<void()> m_resetDatabase;
};

} // namespace sonaro
