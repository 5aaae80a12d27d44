#pragma once

#include "model/UnitTable.h"

#include <QHashFunctions>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <span>

// The catalogue of operator settings: one row per setting with its stable key, its labels in
// both languages, the unit it is shown in with its range and step, the frame that carries it,
// whether only the administrator may change it and whether undo covers it, and typed access to
// the record. Every list of settings in the program (delivery, undo, offline work, the preset
// rule for users, the JSON of sonaroctl and the server, sonaroctl's `set`) is this table.
namespace sonaro {

// How often a setting exists in a unit, and what its index counts.
enum class SettingScope : std::uint8_t
{
    Unit,       // once; index 0
    Input,      // per input; index = input 0..7
    Output,     // per output; index = output 0..1
    InputBand,  // per input EQ band; index = input x 5 + band
    OutputBand, // per output EQ band; index = output x 15 + band
    Crosspoint  // per matrix crosspoint; index = output x 8 + input
};

enum class SettingId : std::uint8_t
{
    // V
    InputGain,
    InputMute,
    OutputGain,
    OutputMute,
    Threshold,
    // M
    InputSource,
    InputPhantom,
    InputPriority,
    InputLowCut,
    OutputLevel,
    OutputSelection,
    AutomixMode,
    DeviceMode,
    PanelLock,
    // G
    InputFeedback,
    InputEditorValue,
    HighPass,
    LowPass,
    LimiterEnable,
    Crosspoint,
    MaxOpen,
    HoldTime,
    // E
    InputEqFrequency,
    InputEqGain,
    InputEqQ,
    InputEqType,
    OutputEqFrequency,
    OutputEqGain,
    OutputEqQ,
    OutputEqType,
    // B
    LimiterThreshold,
    LimiterRatio,
    LimiterAttack,
    LimiterRelease,
    // kept in the local database (names) and the link table (J)
    InputName,
    OutputName,
    Groups,
    Count
};

// How a value is shown and typed.
enum class ValueKind : std::uint8_t
{
    Level,       // stored 0..60, shown as value - 50 dB
    Switch,      // stored 0 or 1, shown as one of two words
    Frequency,   // Hz
    Decibel,     // dB with a tenth
    Quality,     // Q with a tenth
    BandType,    // 0 peak, 1 low shelf, 2 high shelf
    FilterIndex, // stored 0 (off) or 1..10, shown as the cut-off in Hz
    Milliseconds,
    Ratio,    // n of n:1; 100 is "INF:1"
    Count,    // a whole number
    HoldTime, // stored in the unit's 50 ms steps, shown in ms
    Mask,     // bits the program keeps for the unit; never typed
    Text,     // a channel name
    Table     // the link table
};

// Which of the unit's reports carry a setting back.
enum ReportBits : std::uint8_t
{
    kReportS = 0x01, // the complete state
    kReportO = 0x02, // the gains
    kReportD = 0x04, // the switches
    kReportA = 0x08, // one EQ block
    kReportU = 0x10, // one output's dynamics
    kReportN = 0x20  // the link table
};

struct SettingRow
{
    SettingId id;
    SettingScope scope;
    const char* key;     // "input.%1.gain": %1 the channel or output, %2 the band or input
    const char* labelEn; // "Input %1 gain"
    const char* labelZh;
    const char* nameEn; // without the channel: "input gain"
    const char* nameZh;
    ValueKind kind;
    const char* unitText; // "dB", "Hz", "ms" or ""
    double min;           // shown units
    double max;
    double step;
    char frame; // 'V', 'M', 'G', 'E', 'B', 'J'; 0 for what only the local database keeps
    std::uint8_t reports;
    bool administrator; // only the administrator account may change it
    bool undoable;
    bool control;         // the operator has a control for it (else only carried in a frame)
    const char* cliName;  // sonaroctl's `set` word, nullptr when there is none
    const char* cliField; // the field word after the band or output (eq, output-eq, limiter)
    const char* words[3]; // the words of Switch and BandType values, by stored value
    double (*get)(const UnitRecord& record, int index);
    void (*set)(UnitRecord& record, int index, double value);
    // The value as the frame carries it and the unit reports it back: two records whose wire
    // values agree hold the same setting for the unit.
    std::int64_t (*wire)(const UnitRecord& record, int index);
};

// One setting of one unit: what a change is called wherever it travels.
struct ChangeId
{
    int unit = 1;
    SettingId setting = SettingId::Count;
    int index = 0;

    bool valid() const;
    bool operator==(const ChangeId&) const = default;
    bool operator<(const ChangeId& other) const;
};
inline size_t qHash(const ChangeId& id, size_t seed = 0)
{
    return qHashMulti(seed, id.unit, static_cast<int>(id.setting), id.index);
}

class SettingCatalogue
{
public:
    static std::span<const SettingRow> rows();
    static const SettingRow& row(SettingId id);

    // How many indexes a scope has (1 for Unit).
    static int indexCount(SettingScope scope);
    // The two numbers a label and a key show for an index, counted from 1 (second 0 when none).
    static std::pair<int, int> numbers(SettingScope scope, int index);
    static int indexOf(SettingScope scope, int first, int second = 0); // -1 when out of range

    // "input.3.gain"; "unit.2.input.3.gain" for every unit but the first.
    static QString key(const ChangeId& id);
    // The inverse, for keys with and without the unit; nullopt for anything else.
    static std::optional<ChangeId> parseKey(const QString& key);
    static QString label(const ChangeId& id, Language language);
    // In the language of the translation installed now (the program's label language).
    static QString label(const ChangeId& id);
    static Language installedLanguage();
    static QString name(SettingId id, Language language);

    // The E slot or B output a setting of the E or B frame travels in; 0 for the other frames.
    static int frameIndex(SettingId id, int index);

    // The stored value, and the value shown to the operator (dB, Hz, ms, ...).
    static double storedValue(const UnitRecord& record, const ChangeId& id);
    static double shownValue(const UnitRecord& record, const ChangeId& id);
    static double shownFromStored(SettingId id, double stored);
    static double storedFromShown(SettingId id, double shown);
    // The stored values the unit can hold, lowest and highest.
    static std::pair<double, double> storedRange(SettingId id);
    // The settings of record the unit could not hold (out of range, not a number), by label in
    // English; empty when every one is in range.
    static QStringList outOfRange(const UnitRecord& record);

    // The value in JSON: a number in the shown unit, a word for switches and band types, "off"
    // for a filter that is off, "inf" for an infinite ratio.
    static QJsonValue jsonValue(const UnitRecord& record, const ChangeId& id);
    static QString text(const UnitRecord& record, const ChangeId& id);

    // A value given for a setting (JSON, a typed text) as the stored value the unit can hold.
    struct Parsed
    {
        std::optional<double> stored;
        QString problem;         // why nothing could be taken (wrong type, unknown word, ...)
        QString adjusted;        // the value was clamped to the range or rounded to the step: how
        bool outOfRange = false; // it was clamped: what was given lies outside the range
    };
    static Parsed parseJson(SettingId id, const QJsonValue& value);
    static Parsed parseText(SettingId id, const QString& text);
};

} // namespace sonaro
