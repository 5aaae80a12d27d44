#pragma once

#include "model/UnitRecord.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

namespace sonaro {

class Database;
class OperatorInterface;

// One group of a state or preset file: its GroupID and up to eight member SerialIDs (0 = none).
struct GroupFileRecord
{
    std::int32_t groupId = 0;
    std::array<std::int32_t, 8> members{};
};
static_assert(sizeof(GroupFileRecord) == 36);
using GroupFileRecords = std::array<GroupFileRecord, 5>;

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
                                  OperatorInterface& op);

    // Opens a preset into record, which must be connected: the settings are taken from the file,
    // the session's own fields (unit number, accounts, login, password, account level, login and
    // pending flags, time stamps, unit count, connected) stay. Rebuilds the group memberships.
    // Reports "Open Fail" with the reason and changes nothing when it cannot. Sending the record
    // to the unit and "Open successfully" are the caller's.
    static bool openPreset(const QString& path, UnitRecord& record, Database& db,
                           OperatorInterface& op);

    // The pure parts, for tests and for sonaroctl.
    static QByteArray encode(const UnitRecord& record, const GroupFileRecords& groups);
    // Fails with a reason unless data is exactly kFileSize bytes.
    static bool decode(const QByteArray& data, UnitRecord& record, GroupFileRecords& groups,
                       QString* reason = nullptr);
    // The group records of the database: Group1 rows of Type 1 in GroupID order, their dvLink
    // members; at most five groups of eight members fit.
    static GroupFileRecords collectGroups(Database& db);
    // Replaces dvLink and every Device.Data by the memberships of the file's group records.
    // Group1 and ControlType stay.
    static void rebuildGroupMemberships(Database& db, const GroupFileRecords& groups);
    // Copies the session's own fields of session into loaded.
    static void keepSessionFields(UnitRecord& loaded, const UnitRecord& session);
};

// Brings every setting of record into its valid range; a NaN or infinite value takes the
// field's factory value. Fields the unit reports (levels) and session fields are left alone.
void clampRecordValues(UnitRecord& record);

} // namespace sonaro
