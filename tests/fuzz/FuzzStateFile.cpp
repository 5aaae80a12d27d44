// The state and preset file reader: any bytes as data.ini and as a preset file.
// Properties: only a file of exactly 2,796 bytes is taken; what is taken decodes back to the same
// bytes (the password excepted); after reading, every setting lies in its range; a refused file
// changes neither the record nor the group memberships.
#include "FuzzSupport.h"
#include "model/RecordingOperator.h"

#include "mixer/StateFile.h"
#include "model/OperatorInterface.h"
#include "model/SettingCatalogue.h"
#include "model/UnitRecord.h"
#include "store/Database.h"
#include "store/DeviceRegistry.h"
#include "store/GroupStore.h"

#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstddef>
#include <cstring>

using namespace sonaro;

namespace {

struct Files
{
    Files() : db(op, dir.filePath(QStringLiteral("Halvex.db")))
    {
        SONARO_FUZZ_CHECK(dir.isValid());
        SONARO_FUZZ_CHECK(db.openDatabase());
        DeviceRegistry(db).ensureChannelRows(2);
    }
    QTemporaryDir dir;
    RecordingOperator op;
    Database db;
};

Files* files = nullptr;

bool inRange(double v, double low, double high)
{
    return std::isfinite(v) && v >= low && v <= high;
}

void checkRanges(const UnitRecord& r)
{
    for (int ch = 0; ch < kInputCount; ++ch) {
        SONARO_FUZZ_CHECK(r.inputGain[ch] >= 0 && r.inputGain[ch] <= 60);
        SONARO_FUZZ_CHECK(r.highPassIndex[ch] >= 0 && r.highPassIndex[ch] <= 10);
        SONARO_FUZZ_CHECK(r.lowPassIndex[ch] >= 0 && r.lowPassIndex[ch] <= 10);
        for (int band = 0; band < kInputEqBands; ++band) {
            SONARO_FUZZ_CHECK(inRange(r.inputEq[band][kEqFrequency][ch], 20.0, 20000.0));
            SONARO_FUZZ_CHECK(inRange(r.inputEq[band][kEqGain][ch], -15.0, 15.0));
            SONARO_FUZZ_CHECK(inRange(r.inputEq[band][kEqQ][ch], 0.3, 20.0));
            SONARO_FUZZ_CHECK(r.inputEqType[band][ch] >= 0 && r.inputEqType[band][ch] <= 2);
        }
    }
    for (int out = 0; out < kOutputCount; ++out) {
        SONARO_FUZZ_CHECK(r.outputGain[out] >= 0 && r.outputGain[out] <= 60);
        for (int band = 0; band < kOutputEqBands; ++band) {
            SONARO_FUZZ_CHECK(inRange(r.outputEq[out][kEqFrequency][band], 20.0, 20000.0));
            SONARO_FUZZ_CHECK(inRange(r.outputEq[out][kEqGain][band], -15.0, 15.0));
            SONARO_FUZZ_CHECK(inRange(r.outputEq[out][kEqQ][band], 0.3, 20.0));
            SONARO_FUZZ_CHECK(r.outputEqType[out][band] >= 0 && r.outputEqType[out][band] <= 2);
        }
        SONARO_FUZZ_CHECK(inRange(r.limiterRatio[out], 1.0, 100.0));
        SONARO_FUZZ_CHECK(inRange(r.limiterThreshold[out], -80.0, 20.0));
    }
    SONARO_FUZZ_CHECK(r.maxOpenChannels >= 1 && r.maxOpenChannels <= 8);
    SONARO_FUZZ_CHECK(r.holdTime >= 0 && r.holdTime <= 40);
    SONARO_FUZZ_CHECK(r.threshold >= 0 && r.threshold <= 60);
}

UnitRecord sessionRecord()
{
    UnitRecord r = zeroRecord();
    applyFactoryValues(r);
    r.unitNumber = 1;
    r.unitCount = 1;
    r.connected = 1;
    r.loginAccepted = 1;
    storeAccount(r.loginName, "admin");
    storeAccount(r.loginPassword, "secret");
    return r;
}

int membershipCount()
{
    return static_cast<int>(files->db.openQuery(QStringLiteral("select * from DvLink")).size());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::ensureApplication();
    fuzz::quietQt();
    files = new Files;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // The pure decoder.
    UnitRecord decoded = zeroRecord();
    GroupFileRecords groups{};
    QString reason;
    const bool fits = size == StateFile::kFileSize;
    SONARO_FUZZ_CHECK(StateFile::decode(bytes, decoded, groups, &reason) == fits);
    SONARO_FUZZ_CHECK(fits || !reason.isEmpty());
    if (fits) {
        QByteArray again = StateFile::encode(decoded, groups);
        QByteArray expected = bytes;
        std::memset(expected.data() + offsetof(UnitRecord, loginPassword), 0, kAccountLength);
        SONARO_FUZZ_CHECK(again == expected);
    }

    // The same bytes as a file on disk, read as data.ini and opened as a preset.
    const QString path = files->dir.filePath(QStringLiteral("input.ini"));
    {
        QFile file(path);
        SONARO_FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        SONARO_FUZZ_CHECK(file.write(bytes) == bytes.size());
    }
    GroupStore(files->db).rebuildMemberships(GroupFileRecords{});
    const UnitRecord session = sessionRecord();

    UnitRecord startup = session;
    const auto result = StateFile::readStartup(path, startup, files->db, files->op);
    SONARO_FUZZ_CHECK(result ==
                      (fits ? StateFile::ReadResult::Loaded : StateFile::ReadResult::Refused));
    if (fits) {
        checkRanges(startup);
        SONARO_FUZZ_CHECK(startup.connected == 0);
        SONARO_FUZZ_CHECK(
            std::memcmp(startup.loginPassword, session.loginPassword, kAccountLength) == 0);
    } else {
        SONARO_FUZZ_CHECK(std::memcmp(&startup, &session, sizeof startup) == 0);
        SONARO_FUZZ_CHECK(membershipCount() == 0);
    }

    // A preset opens only when it fits and every field is one a unit can hold (its groups are
    // checked too); a refused one leaves the record as it was.
    UnitRecord preset = session;
    const bool opened = StateFile::openPreset(path, preset, files->db, files->op);
    SONARO_FUZZ_CHECK(!opened || (fits && SettingCatalogue::outOfRange(decoded).isEmpty()));
    if (opened) {
        checkRanges(preset);
        SONARO_FUZZ_CHECK(preset.connected == 1 && preset.unitNumber == 1);
        SONARO_FUZZ_CHECK(std::memcmp(preset.loginName, session.loginName, kAccountLength) == 0);
    } else {
        SONARO_FUZZ_CHECK(std::memcmp(&preset, &session, sizeof preset) == 0);
    }
    files->op.messages.clear();
    return 0;
}
