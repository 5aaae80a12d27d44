#pragma once

#include "model/GroupTable.h"
#include "model/UnitRecord.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

namespace sonaro {

class Database;
class OperatorInterface;

// The start-up state file (data.ini) and the operator's preset files share one binary format:
// unit record 1 byte for byte (2,616 bytes), then five group records of 36 bytes, little-endian,
// 2,796 bytes in all, no header. The login password never goes to disk (seven zero bytes).
class StateFile
{
public:
    static constexpr std::size_t kGroupRecordSize = sizeof(GroupFileRecord);
    static constexpr std::size_t kFileSize = kUnitRecordSize + 5 * kGroupRecordSize;

    // Writes record and the database's group memberships to path, whole or not at all: a failed
    // or short write leaves the previous file untouched. Reports "Save Fail: <reason>" and
    // returns false on failure.
    static bool write(const QString& path, const UnitRecord& record, Database& db,
                      OperatorInterface& op);
    // The same with the given group records.
    static bool write(const QString& path, const UnitRecord& record, const GroupFileRecords& groups,
                      OperatorInterface& op);

    enum class ReadResult
    {
        Loaded,
        Missing,
        Refused
    };
    // Reads the start-up state file into record (connected flag cleared, password ignored) and
    // rebuilds the group memberships. A missing file is not an error: nothing changes. A file
    // that cannot be read or has the wrong size is reported and changes nothing.
    static ReadResult readStartup(const QString& path, UnitRecord& record, Database& db,
                                  OperatorInterface& op, int unit = 1);

    // Opens a preset into record, which must be connected: the settings are taken from the file,
    // the session's own fields (unit number, accounts, login, password, account level, login and
    // pending flags, time stamps, unit count, connected) stay. Rebuilds the group memberships.
    // Reports "Open Fail" with the reason and changes nothing when it cannot. Sending the record
    // to the unit and "Open successfully" are the caller's.
    static bool openPreset(const QString& path, UnitRecord& record, Database& db,
                           OperatorInterface& op, int unit = 1);

    // The pure parts, for tests and for sonaroctl.
    static QByteArray encode(const UnitRecord& record, const GroupFileRecords& groups);
    // Fails with a reason unless data is exactly kFileSize bytes.
    static bool decode(const QByteArray& data, UnitRecord& record, GroupFileRecords& groups,
                       QString* reason = nullptr);
    // Copies the session's own fields of session into loaded.
    static void keepSessionFields(UnitRecord& loaded, const UnitRecord& session);
};

// Brings every setting of record into its valid range; a NaN or infinite value takes the
// field's factory value. Fields the unit reports (levels) and session fields are left alone.
void clampRecordValues(UnitRecord& record);

} // namespace sonaro
