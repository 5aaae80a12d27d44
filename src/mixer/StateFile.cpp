#include "mixer/StateFile.h"

#include "mixer/OperatorInterface.h"
#include "store/CDbConnection.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sonaro {

namespace {

const QString kErrorTitle = QStringLiteral("ERROR");

void ReportOpenFail(OperatorInterface& op, const QString& reason)
{
    op.showMessage(QStringLiteral("Open Fail: %1").arg(reason), kErrorTitle);
}

template <typename T> void ClampInt(T& value, T low, T high)
{
    value = std::clamp(value, low, high);
}

template <typename T, std::size_t N> void ClampAll(T (&values)[N], T low, T high)
{
    for (T& v : values)
        ClampInt(v, low, high);
}

void ClampDouble(double& value, double low, double high, double factory)
{
    value = std::isfinite(value) ? std::clamp(value, low, high) : factory;
}

// Reads the whole file; fails with a reason unless it could be read and is exactly one file long.
bool ReadFile(const QString& path, QByteArray& data, QString& reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reason = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    if (file.size() != static_cast<qint64>(StateFile::kFileSize)) {
        reason = QStringLiteral("%1 is %2 bytes long; a settings file is %3 bytes long")
                     .arg(path)
                     .arg(file.size())
                     .arg(StateFile::kFileSize);
        return false;
    }
    data = file.read(static_cast<qint64>(StateFile::kFileSize) + 1);
    if (data.size() != static_cast<qsizetype>(StateFile::kFileSize)) {
        reason = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace

void ClampRecordValues(UnitRecord& r)
{
    ClampAll(r.inputGain, 0, 60);
    ClampAll(r.outputGain, 0, 60);
    ClampInt(r.threshold, 0, 60);
    ClampInt(r.holdTime, 0, 40);
    ClampInt(r.maxOpenChannels, 1, 8);

    for (auto* switches : {&r.inputLine, &r.inputLowCut, &r.inputPriority, &r.inputPhantom,
                           &r.inputMute, &r.inputOpen, &r.feedback, &r.limiterEnable})
        ClampAll(*switches, 0, 1);
    ClampAll(r.outputMute, 0, 1);
    ClampAll(r.outputLevelType, 0, 1);
    for (std::int32_t* flag : {&r.outputFlagA, &r.outputFlagB, &r.outputFlagC, &r.deviceMode,
                               &r.cascadeStatus, &r.thresholdMode, &r.panelLock})
        ClampInt(*flag, 0, 1);

    ClampAll(r.routing, 0, 255);
    ClampAll(r.eqEditorValue, 0, 255);
    ClampAll(r.highPassIndex, 0, 10);
    ClampAll(r.lowPassIndex, 0, 10);

    for (int band = 0; band < kInputEqBands; ++band) {
        for (int ch = 0; ch < kInputCount; ++ch) {
            ClampDouble(r.inputEq[band][kEqFrequency][ch], 20.0, 20000.0,
                        kInputEqFactoryFrequency[band]);
            ClampDouble(r.inputEq[band][kEqGain][ch], -15.0, 15.0, 0.0);
            ClampDouble(r.inputEq[band][kEqQ][ch], 0.3, 20.0, 1.0);
            ClampInt(r.inputEqType[band][ch], 0, 2);
        }
    }
    for (int out = 0; out < kOutputCount; ++out) {
        for (int band = 0; band < kOutputEqBands; ++band) {
            ClampDouble(r.outputEq[out][kEqFrequency][band], 20.0, 20000.0,
                        kOutputEqFactoryFrequency[band]);
            ClampDouble(r.outputEq[out][kEqGain][band], -15.0, 15.0, 0.0);
            ClampDouble(r.outputEq[out][kEqQ][band], 0.3, 20.0, 1.0);
            ClampInt(r.outputEqType[out][band], 0, 2);
        }
        ClampDouble(r.limiterRatio[out], 1.0, 100.0, 1.0);
        ClampDouble(r.limiterThreshold[out], -80.0, 20.0, 0.0);
        ClampInt(r.limiterAttack[out], 0, 2000);
        ClampInt(r.limiterRelease[out], 10, 5000);
    }
}

QByteArray StateFile::Encode(const UnitRecord& record, const GroupFileRecords& groups)
{
    UnitRecord copy = record;
    std::memset(copy.loginPassword, 0, sizeof copy.loginPassword);
    QByteArray data(static_cast<qsizetype>(kFileSize), '\0');
    std::memcpy(data.data(), &copy, kUnitRecordSize);
    // Little-endian int32 fields, as the record itself (checked in UnitRecord.h).
    std::memcpy(data.data() + kUnitRecordSize, groups.data(), groups.size() * kGroupRecordSize);
    return data;
}

bool StateFile::Decode(const QByteArray& data, UnitRecord& record, GroupFileRecords& groups,
                       QString* reason)
{
    if (data.size() != static_cast<qsizetype>(kFileSize)) {
        if (reason)
            *reason = QStringLiteral("%1 bytes; a settings file is %2 bytes long")
                          .arg(data.size())
                          .arg(kFileSize);
        return false;
    }
    std::memcpy(&record, data.constData(), kUnitRecordSize);
    std::memcpy(groups.data(), data.constData() + kUnitRecordSize,
                groups.size() * kGroupRecordSize);
    return true;
}

GroupFileRecords StateFile::CollectGroups(CDbConnection& db)
{
    GroupFileRecords groups{};
    std::size_t k = 0;
    for (const DbRow& group :
         db.OpenQuery(QStringLiteral("select * from Group1 where Type=1 order by GroupID"))) {
        if (k >= groups.size()) break; // the format has room for five groups
        GroupFileRecord& out = groups[k++];
        out.groupId = group.integer("GroupID");
        std::size_t m = 0;
        for (const DbRow& member :
             db.OpenQuery(QStringLiteral("select * from DvLink where GroupID=?"), {out.groupId})) {
            if (m >= out.members.size()) break; // and eight members per group
            out.members[m++] = member.integer("SerialID");
        }
    }
    return groups;
}

void StateFile::RebuildGroupMemberships(CDbConnection& db, const GroupFileRecords& groups)
{
    CDbConnection::Batch batch(db);
    db.ExecuteSql(QStringLiteral("delete from DvLink"));
    for (const DbRow& row : db.OpenQuery(QStringLiteral("select * from Device")))
        db.ExecuteSql(QStringLiteral("update Device set Data=0 where SerialID=?"),
                      {row.integer("SerialID")});
    for (const GroupFileRecord& group : groups) {
        for (const std::int32_t member : group.members) {
            if (member <= 0) continue;
            db.ExecuteSql(QStringLiteral("insert into DvLink values(?,?)"),
                          {member, group.groupId});
            db.ExecuteSql(QStringLiteral("update Device set Data=1 where SerialID=?"), {member});
        }
    }
}

void StateFile::KeepSessionFields(UnitRecord& loaded, const UnitRecord& session)
{
    loaded.unitNumber = session.unitNumber;
    std::memcpy(loaded.adminName, session.adminName, sizeof loaded.adminName);
    std::memcpy(loaded.userName, session.userName, sizeof loaded.userName);
    std::memcpy(loaded.loginName, session.loginName, sizeof loaded.loginName);
    std::memcpy(loaded.loginPassword, session.loginPassword, sizeof loaded.loginPassword);
    loaded.accountLevel = session.accountLevel;
    loaded.loginAccepted = session.loginAccepted;
    loaded.accountChangePending = session.accountChangePending;
    loaded.switchesPending = session.switchesPending;
    loaded.switchesSentTime = session.switchesSentTime;
    loaded.unitCount = session.unitCount;
    loaded.connected = session.connected;
    loaded.switchReportReceived = session.switchReportReceived;
    loaded.levelsReportReceived = session.levelsReportReceived;
    loaded.loginSentTime = session.loginSentTime;
    loaded.lastHeardTime = session.lastHeardTime;
    loaded.loginPending = session.loginPending;
}

bool StateFile::Write(const QString& path, const UnitRecord& record, CDbConnection& db,
                      OperatorInterface& op)
{
    const QByteArray data = Encode(record, CollectGroups(db));
    QSaveFile file(path);
    QString error;
    if (!file.open(QIODevice::WriteOnly))
        error = file.errorString();
    else if (file.write(data) != data.size())
        error = file.errorString();
    else if (!file.commit())
        error = file.errorString();
    if (error.isEmpty()) return true;
    file.cancelWriting();
    op.showMessage(QStringLiteral("Save Fail: %1: %2").arg(path, error), kErrorTitle);
    return false;
}

StateFile::ReadResult StateFile::ReadStartup(const QString& path, UnitRecord& record,
                                             CDbConnection& db, OperatorInterface& op)
{
    if (!QFileInfo::exists(path)) return ReadResult::Missing;
    QByteArray data;
    QString reason;
    UnitRecord loaded;
    GroupFileRecords groups{};
    if (!ReadFile(path, data, reason) || !Decode(data, loaded, groups, &reason)) {
        ReportOpenFail(op, reason);
        return ReadResult::Refused;
    }
    ClampRecordValues(loaded);
    // The password on disk is meaningless (written as zeros); the one in memory stays.
    std::memcpy(loaded.loginPassword, record.loginPassword, sizeof loaded.loginPassword);
    loaded.connected = 0;
    record = loaded;
    RebuildGroupMemberships(db, groups);
    return ReadResult::Loaded;
}

bool StateFile::OpenPreset(const QString& path, UnitRecord& record, CDbConnection& db,
                           OperatorInterface& op)
{
    if (!record.connected) {
        op.showMessage(QStringLiteral("Open Fail"), kErrorTitle);
        return false;
    }
    QByteArray data;
    QString reason;
    UnitRecord loaded;
    GroupFileRecords groups{};
    if (!ReadFile(path, data, reason) || !Decode(data, loaded, groups, &reason)) {
        ReportOpenFail(op, reason);
        return false;
    }
    ClampRecordValues(loaded);
    KeepSessionFields(loaded, record);
    record = loaded;
    RebuildGroupMemberships(db, groups);
    return true;
}

} // namespace sonaro
