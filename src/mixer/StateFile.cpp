#include "mixer/StateFile.h"

#include "model/OperatorInterface.h"
#include "model/SavedFile.h"
#include "model/SettingCatalogue.h"
#include "store/GroupStore.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sonaro {

namespace {

void reportOpenFail(OperatorInterface& op, const QString& reason)
{
    op.showMessage(Severity::Error, QStringLiteral("Open Fail: %1").arg(reason));
}

template <typename T> void clampInt(T& value, T low, T high)
{
    value = std::clamp(value, low, high);
}

template <typename T, std::size_t N> void clampAll(T (&values)[N], T low, T high)
{
    for (T& v : values)
        clampInt(v, low, high);
}

void clampDouble(double& value, double low, double high, double factory)
{
    value = std::isfinite(value) ? std::clamp(value, low, high) : factory;
}

// Reads the whole file; fails with a reason unless it could be read and is exactly one file long.
bool readFile(const QString& path, QByteArray& data, QString& reason)
{
    reason = readWholeFile(path, static_cast<qint64>(StateFile::kFileSize), data);
    if (!reason.isEmpty()) return false;
    if (data.size() != static_cast<qsizetype>(StateFile::kFileSize)) {
        reason = QStringLiteral("%1 is %2 bytes long; a settings file is %3 bytes long")
                     .arg(path)
                     .arg(data.size())
                     .arg(StateFile::kFileSize);
        return false;
    }
    return true;
}

// The group records of a file name groups 2..6 and channels 1..10, or nothing.
QStringList badGroups(const GroupFileRecords& groups)
{
    QStringList bad;
    for (std::size_t k = 0; k < groups.size(); ++k) {
        const GroupFileRecord& g = groups[k];
        const bool empty = g.groupId == 0 && std::all_of(g.members.begin(), g.members.end(),
                                                         [](std::int32_t m) { return m == 0; });
        if (empty) continue;
        if (g.groupId < 2 || g.groupId > 6)
            bad << QStringLiteral("group record %1: group %2").arg(k + 1).arg(g.groupId);
        for (const std::int32_t m : g.members)
            if (m < 0 || m > 10)
                bad << QStringLiteral("group record %1: channel %2").arg(k + 1).arg(m);
    }
    return bad;
}

} // namespace

void clampRecordValues(UnitRecord& r)
{
    clampAll(r.inputGain, 0, 60);
    clampAll(r.outputGain, 0, 60);
    clampInt(r.threshold, 0, 60);
    clampInt(r.holdTime, 0, 40);
    clampInt(r.maxOpenChannels, 1, 8);

    for (auto* switches : {&r.inputLine, &r.inputLowCut, &r.inputPriority, &r.inputPhantom,
                           &r.inputMute, &r.inputOpen, &r.feedback, &r.limiterEnable})
        clampAll(*switches, 0, 1);
    clampAll(r.outputMute, 0, 1);
    clampAll(r.outputLevelType, 0, 1);
    for (std::int32_t* flag : {&r.outputFlagA, &r.outputFlagB, &r.outputFlagC, &r.deviceMode,
                               &r.cascadeStatus, &r.thresholdMode, &r.panelLock})
        clampInt(*flag, 0, 1);

    clampAll(r.routing, 0, 255);
    clampAll(r.eqEditorValue, 0, 255);
    clampAll(r.highPassIndex, 0, 10);
    clampAll(r.lowPassIndex, 0, 10);

    for (int band = 0; band < kInputEqBands; ++band) {
        for (int ch = 0; ch < kInputCount; ++ch) {
            clampDouble(r.inputEq[band][kEqFrequency][ch], 20.0, 20000.0,
                        kInputEqFactoryFrequency[band]);
            clampDouble(r.inputEq[band][kEqGain][ch], -15.0, 15.0, 0.0);
            clampDouble(r.inputEq[band][kEqQ][ch], 0.3, 20.0, 1.0);
            clampInt(r.inputEqType[band][ch], 0, 2);
        }
    }
    for (int out = 0; out < kOutputCount; ++out) {
        for (int band = 0; band < kOutputEqBands; ++band) {
            clampDouble(r.outputEq[out][kEqFrequency][band], 20.0, 20000.0,
                        kOutputEqFactoryFrequency[band]);
            clampDouble(r.outputEq[out][kEqGain][band], -15.0, 15.0, 0.0);
            clampDouble(r.outputEq[out][kEqQ][band], 0.3, 20.0, 1.0);
            clampInt(r.outputEqType[out][band], 0, 2);
        }
        clampDouble(r.limiterRatio[out], 1.0, 100.0, 1.0);
        clampDouble(r.limiterThreshold[out], -80.0, 20.0, 0.0);
        clampInt(r.limiterAttack[out], 0, 2000);
        clampInt(r.limiterRelease[out], 10, 5000);
    }
}

QByteArray StateFile::encode(const UnitRecord& record, const GroupFileRecords& groups)
{
    UnitRecord copy = record;
    std::memset(copy.loginPassword, 0, sizeof copy.loginPassword);
    QByteArray data(static_cast<qsizetype>(kFileSize), '\0');
    std::memcpy(data.data(), &copy, kUnitRecordSize);
    // Little-endian int32 fields, as the record itself (checked in UnitRecord.h).
    std::memcpy(data.data() + kUnitRecordSize, groups.data(), groups.size() * kGroupRecordSize);
    return data;
}

bool StateFile::decode(const QByteArray& data, UnitRecord& record, GroupFileRecords& groups,
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

void StateFile::keepSessionFields(UnitRecord& loaded, const UnitRecord& session)
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

bool StateFile::write(const QString& path, const UnitRecord& record, Database& db,
                      OperatorInterface& op)
{
    return write(path, record, GroupStore(db).fileGroups(), op);
}

bool StateFile::write(const QString& path, const UnitRecord& record, const GroupFileRecords& groups,
                      OperatorInterface& op)
{
    const QString reason = saveWholeFile(path, encode(record, groups));
    if (reason.isEmpty()) return true;
    op.showMessage(Severity::Error, saveFailText(reason));
    return false;
}

StateFile::ReadResult StateFile::readStartup(const QString& path, UnitRecord& record, Database& db,
                                             OperatorInterface& op, int unit)
{
    if (!QFileInfo::exists(path)) return ReadResult::Missing;
    QByteArray data;
    QString reason;
    UnitRecord loaded;
    GroupFileRecords groups{};
    if (!readFile(path, data, reason) || !decode(data, loaded, groups, &reason)) {
        reportOpenFail(op, reason);
        return ReadResult::Refused;
    }
    clampRecordValues(loaded);
    // The password on disk is meaningless (written as zeros); the one in memory stays.
    std::memcpy(loaded.loginPassword, record.loginPassword, sizeof loaded.loginPassword);
    loaded.connected = 0;
    record = loaded;
    GroupStore(db).rebuildMemberships(groups, unit);
    return ReadResult::Loaded;
}

bool StateFile::openPreset(const QString& path, UnitRecord& record, Database& db,
                           OperatorInterface& op, int unit)
{
    if (!record.connected) {
        op.showMessage(Severity::Error, QStringLiteral("Open Fail"));
        return false;
    }
    QByteArray data;
    QString reason;
    UnitRecord loaded;
    GroupFileRecords groups{};
    if (!readFile(path, data, reason) || !decode(data, loaded, groups, &reason)) {
        reportOpenFail(op, reason);
        return false;
    }
    // What no unit can hold is not sent: the file is refused, naming what is wrong.
    const QStringList bad = SettingCatalogue::outOfRange(loaded) + badGroups(groups);
    if (!bad.isEmpty()) {
        constexpr int kNamed = 8;
        QString list = bad.mid(0, kNamed).join(QStringLiteral(", "));
        if (bad.size() > kNamed) list += QStringLiteral(" and %1 more").arg(bad.size() - kNamed);
        reportOpenFail(op, QStringLiteral("%1 holds values no unit can hold: %2").arg(path, list));
        return false;
    }
    keepSessionFields(loaded, record);
    record = loaded;
    GroupStore(db).rebuildMemberships(groups, unit);
    return true;
}

} // namespace sonaro
