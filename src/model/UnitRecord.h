#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace sonaro {

constexpr int kInputCount = 8;
constexpr int kOutputCount = 2;
constexpr int kInputEqBands = 5;
constexpr int kOutputEqBands = 15;
constexpr int kAccountLength = 7; // account names and passwords travel as 7 characters
constexpr char kAccountFiller = '&';

// Local-time stamp as stored in the record (and therefore in state and preset files).
struct TimeStamp
{
    std::uint16_t year;
    std::uint16_t month;
    std::uint16_t dayOfWeek; // 0 = Sunday
    std::uint16_t day;
    std::uint16_t hour;
    std::uint16_t minute;
    std::uint16_t second;
    std::uint16_t milliseconds;
};
static_assert(sizeof(TimeStamp) == 16);

// Index of the three parameters of an EQ band inside the record's EQ arrays.
enum EqParam : int
{
    kEqFrequency = 0,
    kEqGain = 1,
    kEqQ = 2
};

// Everything the program knows about one unit. The byte layout is a file format (state file and
// presets) and must not change: every offset is checked below.
struct UnitRecord
{
    std::int32_t unitNumber;            // own number for units 1..count, 0 otherwise
    char adminName[kAccountLength];     // the unit's administrator account name
    char userName[kAccountLength];      // the unit's user account name
    char loginName[kAccountLength];     // account used to log in
    char loginPassword[kAccountLength]; // never written to disk
    std::int32_t accountLevel;          // 1 administrator, 2 user
    std::uint8_t loginAccepted;
    std::uint8_t accountChangePending; // X sent, Y not yet received
    std::uint8_t padding38[2];
    std::int32_t inputGain[kInputCount];   // 0..60, shown as value - 50 dB
    std::int32_t inputLevel[kInputCount];  // as last reported by the unit
    std::int32_t outputGain[kOutputCount]; // 0..60
    std::int32_t outputLevel[kOutputCount];
    std::int32_t outputMute[kOutputCount];
    std::int32_t threshold;              // automix threshold 0..60
    std::int32_t inputLine[kInputCount]; // source type: 0 MIC, 1 LINE
    std::int32_t inputLowCut[kInputCount];
    std::int32_t inputPriority[kInputCount];
    std::int32_t inputPhantom[kInputCount]; // 48 V
    std::int32_t inputMute[kInputCount];
    std::int32_t inputOpen[kInputCount];     // 1 ACTIVE, 0 WAITING (reported by the unit)
    std::int32_t highPassIndex[kInputCount]; // 0 off, 1..10
    std::int32_t lowPassIndex[kInputCount];  // 0 off, 1..10
    std::int32_t outputFlagA;
    std::int32_t outputFlagB;
    std::int32_t deviceMode;    // 1 master, 0 slave
    std::int32_t cascadeStatus; // shown only; nothing writes it
    std::int32_t thresholdMode; // 0 Auto, 1 Manual
    std::int32_t outputFlagC;
    std::int32_t panelLock;
    std::int32_t feedback[kInputCount];            // FBK
    std::int32_t limiterEnable[8];                 // DRC; entries 0 and 1 are the outputs
    std::int32_t eqEditorValue[kInputCount];       // sent in G; no visible control writes it
    double inputEq[kInputEqBands][3][kInputCount]; // [band][EqParam][input]
    std::int32_t inputEqType[kInputEqBands][kInputCount];
    double outputEq[kOutputCount][3][kOutputEqBands]; // [output][EqParam][band]
    std::int32_t outputEqType[kOutputCount][kOutputEqBands];
    std::int32_t routing[kOutputCount];         // bit n: input n + 1 feeds the output
    std::uint8_t reserved2480[8];               // unused; kept zero, preserved in files
    std::int32_t outputLevelType[kOutputCount]; // 0 LINE, 1 MIC
    std::int32_t holdTime;                      // 0..40
    std::int32_t maxOpenChannels;               // 1..8
    double limiterRatio[kOutputCount];
    double limiterThreshold[kOutputCount];     // dB
    std::int32_t limiterAttack[kOutputCount];  // ms
    std::int32_t limiterRelease[kOutputCount]; // ms
    std::uint8_t switchesPending;              // M sent, D not yet received
    std::uint8_t padding2553;
    TimeStamp switchesSentTime;
    std::uint8_t padding2570[2];
    std::int32_t unitCount; // from the login reply; meaningful in record 1
    std::uint8_t connected;
    std::uint8_t switchReportReceived;
    std::uint8_t levelsReportReceived;
    std::uint8_t padding2579;
    TimeStamp loginSentTime;
    TimeStamp lastHeardTime;
    std::uint8_t loginPending;
    std::uint8_t padding2613[3];

    double& inputEqAt(int band, EqParam param, int input) { return inputEq[band][param][input]; }
    double inputEqAt(int band, EqParam param, int input) const
    {
        return inputEq[band][param][input];
    }
    double& outputEqAt(int output, EqParam param, int band)
    {
        return outputEq[output][param][band];
    }
    double outputEqAt(int output, EqParam param, int band) const
    {
        return outputEq[output][param][band];
    }
};

constexpr std::size_t kUnitRecordSize = 2616;
static_assert(std::endian::native == std::endian::little,
              "the record is stored little-endian; a big-endian port needs byte swapping");
static_assert(std::is_standard_layout_v<UnitRecord> && std::is_trivially_copyable_v<UnitRecord>);
static_assert(sizeof(UnitRecord) == kUnitRecordSize);
static_assert(offsetof(UnitRecord, unitNumber) == 0);
static_assert(offsetof(UnitRecord, adminName) == 4);
static_assert(offsetof(UnitRecord, userName) == 11);
static_assert(offsetof(UnitRecord, loginName) == 18);
static_assert(offsetof(UnitRecord, loginPassword) == 25);
static_assert(offsetof(UnitRecord, accountLevel) == 32);
static_assert(offsetof(UnitRecord, loginAccepted) == 36);
static_assert(offsetof(UnitRecord, accountChangePending) == 37);
static_assert(offsetof(UnitRecord, inputGain) == 40);
static_assert(offsetof(UnitRecord, inputLevel) == 72);
static_assert(offsetof(UnitRecord, outputGain) == 104);
static_assert(offsetof(UnitRecord, outputLevel) == 112);
static_assert(offsetof(UnitRecord, outputMute) == 120);
static_assert(offsetof(UnitRecord, threshold) == 128);
static_assert(offsetof(UnitRecord, inputLine) == 132);
static_assert(offsetof(UnitRecord, inputLowCut) == 164);
static_assert(offsetof(UnitRecord, inputPriority) == 196);
static_assert(offsetof(UnitRecord, inputPhantom) == 228);
static_assert(offsetof(UnitRecord, inputMute) == 260);
static_assert(offsetof(UnitRecord, inputOpen) == 292);
static_assert(offsetof(UnitRecord, highPassIndex) == 324);
static_assert(offsetof(UnitRecord, lowPassIndex) == 356);
static_assert(offsetof(UnitRecord, outputFlagA) == 388);
static_assert(offsetof(UnitRecord, outputFlagB) == 392);
static_assert(offsetof(UnitRecord, deviceMode) == 396);
static_assert(offsetof(UnitRecord, cascadeStatus) == 400);
static_assert(offsetof(UnitRecord, thresholdMode) == 404);
static_assert(offsetof(UnitRecord, outputFlagC) == 408);
static_assert(offsetof(UnitRecord, panelLock) == 412);
static_assert(offsetof(UnitRecord, feedback) == 416);
static_assert(offsetof(UnitRecord, limiterEnable) == 448);
static_assert(offsetof(UnitRecord, eqEditorValue) == 480);
static_assert(offsetof(UnitRecord, inputEq) == 512);
static_assert(offsetof(UnitRecord, inputEqType) == 1472);
static_assert(offsetof(UnitRecord, outputEq) == 1632);
static_assert(offsetof(UnitRecord, outputEqType) == 2352);
static_assert(offsetof(UnitRecord, routing) == 2472);
static_assert(offsetof(UnitRecord, reserved2480) == 2480);
static_assert(offsetof(UnitRecord, outputLevelType) == 2488);
static_assert(offsetof(UnitRecord, holdTime) == 2496);
static_assert(offsetof(UnitRecord, maxOpenChannels) == 2500);
static_assert(offsetof(UnitRecord, limiterRatio) == 2504);
static_assert(offsetof(UnitRecord, limiterThreshold) == 2520);
static_assert(offsetof(UnitRecord, limiterAttack) == 2536);
static_assert(offsetof(UnitRecord, limiterRelease) == 2544);
static_assert(offsetof(UnitRecord, switchesPending) == 2552);
static_assert(offsetof(UnitRecord, switchesSentTime) == 2554);
static_assert(offsetof(UnitRecord, unitCount) == 2572);
static_assert(offsetof(UnitRecord, connected) == 2576);
static_assert(offsetof(UnitRecord, switchReportReceived) == 2577);
static_assert(offsetof(UnitRecord, levelsReportReceived) == 2578);
static_assert(offsetof(UnitRecord, loginSentTime) == 2580);
static_assert(offsetof(UnitRecord, lastHeardTime) == 2596);
static_assert(offsetof(UnitRecord, loginPending) == 2612);

// Factory EQ frequencies (the editors' Reset values use the same tables).
constexpr double kInputEqFactoryFrequency[kInputEqBands] = {100, 300, 1000, 3300, 10000};
constexpr double kOutputEqFactoryFrequency[kOutputEqBands] = {
    25, 40, 63, 100, 160, 250, 400, 630, 1000, 1600, 2500, 4000, 6300, 10000, 16000};

// A record with every byte zero.
UnitRecord zeroRecord();

// Sets what the factory restore sets: every input, both outputs and the unit-wide settings.
// Fields the restore does not name (levels, flags, accounts, time stamps ...) stay as they are.
void applyFactoryValues(UnitRecord& record);

// Account strings: at most 7 characters, right-padded with "&" (longer texts are cut at 7).
std::string padAccount(std::string_view text);
void storeAccount(char (&field)[kAccountLength], std::string_view text);
// The field's text without the "&" filler.
std::string accountText(const char (&field)[kAccountLength]);
// The field's 7 characters as they go on the wire.
std::string_view accountField(const char (&field)[kAccountLength]);

// The local time now, in the record's stamp form.
TimeStamp currentTimeStamp();

} // namespace sonaro
