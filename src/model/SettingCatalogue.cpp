#include "model/SettingCatalogue.h"

#include "model/ValueConventions.h"
#include "model/ValueText.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>

namespace sonaro {

namespace {

using Record = UnitRecord;

// --- typed access ---------------------------------------------------------------------------

template <auto Field> double unitInt(const Record& r, int)
{
    return r.*Field;
}
template <auto Field> void setUnitInt(Record& r, int, double v)
{
    r.*Field = static_cast<std::int32_t>(std::lround(v));
}
template <auto Field> std::int64_t wireUnitInt(const Record& r, int)
{
    return r.*Field;
}
template <auto Field> std::int64_t wireUnitFlag(const Record& r, int)
{
    return r.*Field != 0 ? 1 : 0;
}

template <auto Field> double arrayInt(const Record& r, int i)
{
    return (r.*Field)[i];
}
template <auto Field> void setArrayInt(Record& r, int i, double v)
{
    (r.*Field)[i] = static_cast<std::int32_t>(std::lround(v));
}
template <auto Field> std::int64_t wireArrayInt(const Record& r, int i)
{
    return (r.*Field)[i];
}
template <auto Field> std::int64_t wireArrayFlag(const Record& r, int i)
{
    return (r.*Field)[i] != 0 ? 1 : 0;
}

template <auto Field> double arrayDouble(const Record& r, int i)
{
    return (r.*Field)[i];
}
template <auto Field> void setArrayDouble(Record& r, int i, double v)
{
    (r.*Field)[i] = v;
}

// A value as a word of tenths (gain, Q, threshold), rounded as the words are.
std::int64_t tenths(double v)
{
    return std::isfinite(v) ? std::llround(std::clamp(v, -1.0e6, 1.0e6) * 10.0) : 0;
}
// A value as a whole-number word (frequency, ratio), truncated as the words are.
std::int64_t whole(double v)
{
    return std::isfinite(v) ? static_cast<std::int64_t>(std::clamp(v, -1.0e9, 1.0e9)) : 0;
}

// Input EQ: inputEq[band][param][input], index = input x 5 + band.
template <int Param> double inputEq(const Record& r, int i)
{
    return r.inputEq[i % kInputEqBands][Param][i / kInputEqBands];
}
template <int Param> void setInputEq(Record& r, int i, double v)
{
    r.inputEq[i % kInputEqBands][Param][i / kInputEqBands] = v;
}
std::int64_t wireInputFrequency(const Record& r, int i)
{
    return whole(inputEq<kEqFrequency>(r, i));
}
template <int Param> std::int64_t wireInputTenths(const Record& r, int i)
{
    return tenths(inputEq<Param>(r, i));
}
double inputEqType(const Record& r, int i)
{
    return r.inputEqType[i % kInputEqBands][i / kInputEqBands];
}
void setInputEqType(Record& r, int i, double v)
{
    r.inputEqType[i % kInputEqBands][i / kInputEqBands] = static_cast<std::int32_t>(v);
}
std::int64_t wireInputEqType(const Record& r, int i)
{
    return static_cast<std::int64_t>(inputEqType(r, i));
}

// Output EQ: outputEq[output][param][band], index = output x 15 + band.
template <int Param> double outputEq(const Record& r, int i)
{
    return r.outputEq[i / kOutputEqBands][Param][i % kOutputEqBands];
}
template <int Param> void setOutputEq(Record& r, int i, double v)
{
    r.outputEq[i / kOutputEqBands][Param][i % kOutputEqBands] = v;
}
std::int64_t wireOutputFrequency(const Record& r, int i)
{
    return whole(outputEq<kEqFrequency>(r, i));
}
template <int Param> std::int64_t wireOutputTenths(const Record& r, int i)
{
    return tenths(outputEq<Param>(r, i));
}
double outputEqType(const Record& r, int i)
{
    return r.outputEqType[i / kOutputEqBands][i % kOutputEqBands];
}
void setOutputEqType(Record& r, int i, double v)
{
    r.outputEqType[i / kOutputEqBands][i % kOutputEqBands] = static_cast<std::int32_t>(v);
}
std::int64_t wireOutputEqType(const Record& r, int i)
{
    return static_cast<std::int64_t>(outputEqType(r, i));
}

// A muted output travels as gain 0: gain and mute come back as one value.
std::int64_t wireOutputGain(const Record& r, int out)
{
    return r.outputMute[out] != 0 ? 0 : r.outputGain[out] & 0xFF;
}

double outputSelection(const Record& r, int)
{
    return (r.outputFlagA != 0 ? 1 : 0) | (r.outputFlagB != 0 ? 2 : 0) |
           (r.outputFlagC != 0 ? 4 : 0);
}
void setOutputSelection(Record& r, int, double v)
{
    const int bits = static_cast<int>(v);
    r.outputFlagA = bits & 1;
    r.outputFlagB = (bits >> 1) & 1;
    r.outputFlagC = (bits >> 2) & 1;
}
std::int64_t wireOutputSelection(const Record& r, int i)
{
    return static_cast<std::int64_t>(outputSelection(r, i));
}

double crosspoint(const Record& r, int i)
{
    return (r.routing[i / kInputCount] >> (i % kInputCount)) & 1;
}
void setCrosspoint(Record& r, int i, double v)
{
    std::int32_t& routing = r.routing[i / kInputCount];
    const int bit = 1 << (i % kInputCount);
    routing = (v != 0 ? routing | bit : routing & ~bit) & 0xFF;
}
std::int64_t wireCrosspoint(const Record& r, int i)
{
    return static_cast<std::int64_t>(crosspoint(r, i));
}

std::int64_t wireTenthsDouble(double v)
{
    return tenths(v);
}
double limiterThreshold(const Record& r, int i)
{
    return r.limiterThreshold[i];
}
std::int64_t wireLimiterThreshold(const Record& r, int i)
{
    return wireTenthsDouble(r.limiterThreshold[i]);
}
std::int64_t wireLimiterRatio(const Record& r, int i)
{
    return whole(r.limiterRatio[i]);
}

// Names and the link table are not record fields: they live in the database.
double none(const Record&, int)
{
    return 0;
}
void setNone(Record&, int, double) {}
std::int64_t wireNone(const Record&, int)
{
    return 0;
}

// --- the rows ------------------------------------------------------------------------------

using S = SettingScope;
using K = ValueKind;
using I = SettingId;
constexpr std::uint8_t kSOD = kReportS | kReportD;

// clang-format off
constexpr std::array<SettingRow, static_cast<std::size_t>(SettingId::Count)> kRows = {{
    // V
    {I::InputGain, S::Input, "input.%1.gain", "Input %1 gain", "输入 %1 增益", "input gain", "输入增益",
     K::Level, "dB", -50, 10, 1, 'V', kReportS | kReportO, false, true, true, "input-gain", nullptr, {},
     arrayInt<&Record::inputGain>, setArrayInt<&Record::inputGain>, wireArrayInt<&Record::inputGain>},
    {I::InputMute, S::Input, "input.%1.mute", "Input %1 mute", "输入 %1 哑音", "input mute", "输入哑音",
     K::Switch, "", 0, 1, 1, 'V', kReportS, false, true, true, "input-mute", nullptr, {"off", "on"},
     arrayInt<&Record::inputMute>, setArrayInt<&Record::inputMute>, wireArrayFlag<&Record::inputMute>},
    {I::OutputGain, S::Output, "output.%1.gain", "Output %1 gain", "输出 %1 增益", "output gain", "输出增益",
     K::Level, "dB", -50, 10, 1, 'V', kReportS | kReportO, false, true, true, "output-gain", nullptr, {},
     arrayInt<&Record::outputGain>, setArrayInt<&Record::outputGain>, wireOutputGain},
    {I::OutputMute, S::Output, "output.%1.mute", "Output %1 mute", "输出 %1 哑音", "output mute", "输出哑音",
     K::Switch, "", 0, 1, 1, 'V', kReportS | kReportO, false, true, true, "output-mute", nullptr, {"off", "on"},
     arrayInt<&Record::outputMute>, setArrayInt<&Record::outputMute>, wireOutputGain},
    {I::Threshold, S::Unit, "automix.threshold", "Automix threshold", "门限", "automix threshold", "门限",
     K::Level, "dB", -50, 10, 1, 'V', kReportS | kReportO, true, false, true, "threshold", nullptr, {},
     unitInt<&Record::threshold>, setUnitInt<&Record::threshold>, wireUnitInt<&Record::threshold>},
    // M
    {I::InputSource, S::Input, "input.%1.source", "Input %1 source", "输入 %1 信号类型", "input source", "输入信号类型",
     K::Switch, "", 0, 1, 1, 'M', kSOD, false, true, true, "input-mic", nullptr, {"mic", "line"},
     arrayInt<&Record::inputLine>, setArrayInt<&Record::inputLine>, wireArrayFlag<&Record::inputLine>},
    {I::InputPhantom, S::Input, "input.%1.phantom", "Input %1 phantom power", "输入 %1 幻象电源", "phantom power", "幻象电源",
     K::Switch, "", 0, 1, 1, 'M', kSOD, false, true, true, "phantom", nullptr, {"off", "on"},
     arrayInt<&Record::inputPhantom>, setArrayInt<&Record::inputPhantom>, wireArrayFlag<&Record::inputPhantom>},
    {I::InputPriority, S::Input, "input.%1.priority", "Input %1 priority", "输入 %1 优先", "priority", "优先",
     K::Switch, "", 0, 1, 1, 'M', kSOD, false, true, true, "priority", nullptr, {"off", "on"},
     arrayInt<&Record::inputPriority>, setArrayInt<&Record::inputPriority>, wireArrayFlag<&Record::inputPriority>},
    {I::InputLowCut, S::Input, "input.%1.lowCut", "Input %1 low cut", "输入 %1 低切", "low cut", "低切",
     K::Switch, "", 0, 1, 1, 'M', kSOD, false, false, false, nullptr, nullptr, {"off", "on"},
     arrayInt<&Record::inputLowCut>, setArrayInt<&Record::inputLowCut>, wireArrayFlag<&Record::inputLowCut>},
    {I::OutputLevel, S::Output, "output.%1.level", "Output %1 level type", "输出 %1 电平类型", "output level type", "输出电平类型",
     K::Switch, "", 0, 1, 1, 'M', kSOD, false, true, true, "output-level", nullptr, {"line", "mic"},
     arrayInt<&Record::outputLevelType>, setArrayInt<&Record::outputLevelType>, wireArrayFlag<&Record::outputLevelType>},
    {I::OutputSelection, S::Unit, "unit.outputSelection", "Output selection", "输出选择", "output selection", "输出选择",
     K::Mask, "", 0, 7, 1, 'M', kSOD, false, false, false, nullptr, nullptr, {},
     outputSelection, setOutputSelection, wireOutputSelection},
    {I::AutomixMode, S::Unit, "automix.mode", "Automix mode", "门限模式", "automix mode", "门限模式",
     K::Switch, "", 0, 1, 1, 'M', kSOD, true, false, true, "automix-mode", nullptr, {"auto", "manual"},
     unitInt<&Record::thresholdMode>, setUnitInt<&Record::thresholdMode>, wireUnitFlag<&Record::thresholdMode>},
    {I::DeviceMode, S::Unit, "unit.deviceMode", "Device mode", "主机状态", "device mode", "主机状态",
     K::Switch, "", 0, 1, 1, 'M', kSOD, true, false, true, "device-mode", nullptr, {"slave", "master"},
     unitInt<&Record::deviceMode>, setUnitInt<&Record::deviceMode>, wireUnitFlag<&Record::deviceMode>},
    {I::PanelLock, S::Unit, "unit.panelLock", "Panel lock", "主机面板锁", "panel lock", "主机面板锁",
     K::Switch, "", 0, 1, 1, 'M', kSOD, true, false, true, "panel-lock", nullptr, {"off", "on"},
     unitInt<&Record::panelLock>, setUnitInt<&Record::panelLock>, wireUnitFlag<&Record::panelLock>},
    // G
    {I::InputFeedback, S::Input, "input.%1.feedback", "Input %1 feedback suppression", "输入 %1 反馈抑制", "feedback suppression", "反馈抑制",
     K::Switch, "", 0, 1, 1, 'G', kReportS, false, false, false, nullptr, nullptr, {"off", "on"},
     arrayInt<&Record::feedback>, setArrayInt<&Record::feedback>, wireArrayFlag<&Record::feedback>},
    {I::InputEditorValue, S::Input, "input.%1.editorValue", "Input %1 editor value", "输入 %1 编辑值", "editor value", "编辑值",
     K::Mask, "", 0, 255, 1, 'G', kReportS, false, false, false, nullptr, nullptr, {},
     arrayInt<&Record::eqEditorValue>, setArrayInt<&Record::eqEditorValue>, wireArrayInt<&Record::eqEditorValue>},
    {I::HighPass, S::Input, "input.%1.highPass", "Input %1 high-pass", "输入 %1 高通", "high-pass", "高通",
     K::FilterIndex, "Hz", 0, 10, 1, 'G', kReportS, false, true, true, "hpf", nullptr, {},
     arrayInt<&Record::highPassIndex>, setArrayInt<&Record::highPassIndex>, wireArrayInt<&Record::highPassIndex>},
    {I::LowPass, S::Input, "input.%1.lowPass", "Input %1 low-pass", "输入 %1 低通", "low-pass", "低通",
     K::FilterIndex, "Hz", 0, 10, 1, 'G', kReportS, false, true, true, "lpf", nullptr, {},
     arrayInt<&Record::lowPassIndex>, setArrayInt<&Record::lowPassIndex>, wireArrayInt<&Record::lowPassIndex>},
    {I::LimiterEnable, S::Output, "output.%1.limiter.enable", "Output %1 limiter", "输出 %1 输出限制", "limiter", "输出限制",
     K::Switch, "", 0, 1, 1, 'G', kReportS, false, true, true, "limiter", "enable", {"off", "on"},
     arrayInt<&Record::limiterEnable>, setArrayInt<&Record::limiterEnable>, wireArrayFlag<&Record::limiterEnable>},
    {I::Crosspoint, S::Crosspoint, "output.%1.route.%2", "Output %1 routing of input %2", "输出 %1 路由 输入 %2", "routing", "路由",
     K::Switch, "", 0, 1, 1, 'G', kReportS, true, false, true, "route", nullptr, {"off", "on"},
     crosspoint, setCrosspoint, wireCrosspoint},
    {I::MaxOpen, S::Unit, "automix.maxOpen", "Maximum open channels", "最大话筒数", "maximum open channels", "最大话筒数",
     K::Count, "", 1, 8, 1, 'G', kReportS, true, false, true, "max-open", nullptr, {},
     unitInt<&Record::maxOpenChannels>, setUnitInt<&Record::maxOpenChannels>, wireUnitInt<&Record::maxOpenChannels>},
    {I::HoldTime, S::Unit, "automix.holdTime", "Hold time", "保持时间", "hold time", "保持时间",
     K::HoldTime, "ms", 0, kHoldTimeMax * kHoldTimeStepMs, kHoldTimeStepMs, 'G', kReportS, true, false, true, "hold-time", nullptr, {},
     unitInt<&Record::holdTime>, setUnitInt<&Record::holdTime>, wireUnitInt<&Record::holdTime>},
    // E
    {I::InputEqFrequency, S::InputBand, "input.%1.eq.%2.frequency", "Input %1 EQ band %2 frequency", "输入 %1 均衡 %2 频率", "EQ frequency", "均衡频率",
     K::Frequency, "Hz", kEqMinFrequency, kEqMaxFrequency, 1, 'E', kReportA, false, true, true, "eq", "freq", {},
     inputEq<kEqFrequency>, setInputEq<kEqFrequency>, wireInputFrequency},
    {I::InputEqGain, S::InputBand, "input.%1.eq.%2.gain", "Input %1 EQ band %2 gain", "输入 %1 均衡 %2 增益", "EQ gain", "均衡增益",
     K::Decibel, "dB", kEqMinGain, kEqMaxGain, 0.1, 'E', kReportA, false, true, true, "eq", "gain", {},
     inputEq<kEqGain>, setInputEq<kEqGain>, wireInputTenths<kEqGain>},
    {I::InputEqQ, S::InputBand, "input.%1.eq.%2.q", "Input %1 EQ band %2 Q", "输入 %1 均衡 %2 Q值", "EQ Q", "均衡Q值",
     K::Quality, "", kEqMinQ, kEqMaxQ, 0.1, 'E', kReportA, false, true, true, "eq", "q", {},
     inputEq<kEqQ>, setInputEq<kEqQ>, wireInputTenths<kEqQ>},
    {I::InputEqType, S::InputBand, "input.%1.eq.%2.type", "Input %1 EQ band %2 type", "输入 %1 均衡 %2 类型", "EQ type", "均衡类型",
     K::BandType, "", 0, 2, 1, 'E', kReportA, false, true, true, "eq", "type", {"peak", "low-shelf", "high-shelf"},
     inputEqType, setInputEqType, wireInputEqType},
    {I::OutputEqFrequency, S::OutputBand, "output.%1.eq.%2.frequency", "Output %1 EQ band %2 frequency", "输出 %1 均衡 %2 频率", "output EQ frequency", "输出均衡频率",
     K::Frequency, "Hz", kEqMinFrequency, kEqMaxFrequency, 1, 'E', kReportA, false, true, true, "output-eq", "freq", {},
     outputEq<kEqFrequency>, setOutputEq<kEqFrequency>, wireOutputFrequency},
    {I::OutputEqGain, S::OutputBand, "output.%1.eq.%2.gain", "Output %1 EQ band %2 gain", "输出 %1 均衡 %2 增益", "output EQ gain", "输出均衡增益",
     K::Decibel, "dB", kEqMinGain, kEqMaxGain, 0.1, 'E', kReportA, false, true, true, "output-eq", "gain", {},
     outputEq<kEqGain>, setOutputEq<kEqGain>, wireOutputTenths<kEqGain>},
    {I::OutputEqQ, S::OutputBand, "output.%1.eq.%2.q", "Output %1 EQ band %2 Q", "输出 %1 均衡 %2 Q值", "output EQ Q", "输出均衡Q值",
     K::Quality, "", kEqMinQ, kEqMaxQ, 0.1, 'E', kReportA, false, true, true, "output-eq", "q", {},
     outputEq<kEqQ>, setOutputEq<kEqQ>, wireOutputTenths<kEqQ>},
    {I::OutputEqType, S::OutputBand, "output.%1.eq.%2.type", "Output %1 EQ band %2 type", "输出 %1 均衡 %2 类型", "output EQ type", "输出均衡类型",
     K::BandType, "", 0, 2, 1, 'E', kReportA, false, true, false, nullptr, nullptr, {"peak", "low-shelf", "high-shelf"},
     outputEqType, setOutputEqType, wireOutputEqType},
    // B
    {I::LimiterThreshold, S::Output, "output.%1.limiter.threshold", "Output %1 limiter threshold", "输出 %1 限制门限", "limiter threshold", "限制门限",
     K::Decibel, "dB", kThresholdMin, kThresholdOff, 0.1, 'B', kReportU, false, true, true, "limiter", "threshold", {},
     limiterThreshold, setArrayDouble<&Record::limiterThreshold>, wireLimiterThreshold},
    {I::LimiterRatio, S::Output, "output.%1.limiter.ratio", "Output %1 limiter ratio", "输出 %1 压缩比", "limiter ratio", "压缩比",
     K::Ratio, "", 1, kRatioInfinite, 1, 'B', kReportU, false, true, true, "limiter", "ratio", {},
     arrayDouble<&Record::limiterRatio>, setArrayDouble<&Record::limiterRatio>, wireLimiterRatio},
    {I::LimiterAttack, S::Output, "output.%1.limiter.attack", "Output %1 limiter attack", "输出 %1 启动时间", "limiter attack", "启动时间",
     K::Milliseconds, "ms", kAttackMinMs, kAttackMaxMs, 1, 'B', kReportU, false, true, true, "limiter", "attack", {},
     arrayInt<&Record::limiterAttack>, setArrayInt<&Record::limiterAttack>, wireArrayInt<&Record::limiterAttack>},
    {I::LimiterRelease, S::Output, "output.%1.limiter.release", "Output %1 limiter release", "输出 %1 释放时间", "limiter release", "释放时间",
     K::Milliseconds, "ms", kReleaseMinMs, kReleaseMaxMs, 1, 'B', kReportU, false, true, true, "limiter", "release", {},
     arrayInt<&Record::limiterRelease>, setArrayInt<&Record::limiterRelease>, wireArrayInt<&Record::limiterRelease>},
    // the local database and the link table
    {I::InputName, S::Input, "input.%1.name", "Input %1 name", "输入 %1 名称", "input name", "输入名称",
     K::Text, "", 0, 32, 1, 0, 0, false, false, true, nullptr, nullptr, {}, none, setNone, wireNone},
    {I::OutputName, S::Output, "output.%1.name", "Output %1 name", "输出 %1 名称", "output name", "输出名称",
     K::Text, "", 0, 32, 1, 0, 0, false, false, true, nullptr, nullptr, {}, none, setNone, wireNone},
    {I::Groups, S::Unit, "groups", "Groups", "组设置", "groups", "组设置",
     K::Table, "", 0, 0, 1, 'J', kReportS | kReportN, false, false, true, nullptr, nullptr, {}, none, setNone, wireNone},
}};
// clang-format on

constexpr bool rowsInOrder()
{
    for (std::size_t i = 0; i < kRows.size(); ++i)
        if (static_cast<std::size_t>(kRows[i].id) != i) return false;
    return true;
}
static_assert(rowsInOrder(), "the rows stand in the order of SettingId");

QString shownText(double value, double step)
{
    if (step >= 1.0) return QString::number(std::llround(value));
    return QString::number(value, 'f', 1);
}

QString shownWithUnit(double value, const SettingRow& row)
{
    const QString number = shownText(value, row.step);
    return row.unitText[0] ? number + QLatin1Char(' ') + QLatin1String(row.unitText) : number;
}

const std::array<double, kFilterIndexCount>& filterTable(SettingId id)
{
    return id == SettingId::HighPass ? kHighPassFrequency : kLowPassFrequency;
}

// The filter index of a cut-off in the table (1..10); nullopt when none is within half a hertz.
std::optional<int> filterIndexOf(SettingId id, double hz)
{
    const auto& table = filterTable(id);
    for (int i = 1; i < kFilterIndexCount; ++i)
        if (std::abs(table[static_cast<std::size_t>(i)] - hz) < 0.5) return i;
    return std::nullopt;
}

QString filterChoices(SettingId id)
{
    QStringList list;
    const auto& table = filterTable(id);
    for (int i = 1; i < kFilterIndexCount; ++i)
        list << QString::number(table[static_cast<std::size_t>(i)]);
    return list.join(QStringLiteral(", "));
}

ValueUnit typedUnit(ValueKind kind)
{
    switch (kind) {
    case ValueKind::Level:
    case ValueKind::Decibel:
        return ValueUnit::Decibel;
    case ValueKind::Frequency:
    case ValueKind::FilterIndex:
        return ValueUnit::Hertz;
    case ValueKind::Milliseconds:
    case ValueKind::HoldTime:
        return ValueUnit::Milliseconds;
    case ValueKind::Ratio:
        return ValueUnit::Ratio;
    case ValueKind::Quality:
        return ValueUnit::Q;
    default:
        return ValueUnit::Number;
    }
}

} // namespace

// --- ChangeId --------------------------------------------------------------------------------

bool ChangeId::valid() const
{
    return UnitTable::isValidUnit(unit) && setting < SettingId::Count && index >= 0 &&
           index < SettingCatalogue::indexCount(SettingCatalogue::row(setting).scope);
}

bool ChangeId::operator<(const ChangeId& other) const
{
    if (unit != other.unit) return unit < other.unit;
    if (setting != other.setting) return setting < other.setting;
    return index < other.index;
}

// --- the catalogue ---------------------------------------------------------------------------

std::span<const SettingRow> SettingCatalogue::rows()
{
    return kRows;
}

const SettingRow& SettingCatalogue::row(SettingId id)
{
    return kRows[static_cast<std::size_t>(id)];
}

int SettingCatalogue::indexCount(SettingScope scope)
{
    switch (scope) {
    case SettingScope::Unit:
        return 1;
    case SettingScope::Input:
        return kInputCount;
    case SettingScope::Output:
        return kOutputCount;
    case SettingScope::InputBand:
        return kInputCount * kInputEqBands;
    case SettingScope::OutputBand:
        return kOutputCount * kOutputEqBands;
    case SettingScope::Crosspoint:
        return kOutputCount * kInputCount;
    }
    return 0;
}

std::pair<int, int> SettingCatalogue::numbers(SettingScope scope, int index)
{
    switch (scope) {
    case SettingScope::Unit:
        return {0, 0};
    case SettingScope::Input:
    case SettingScope::Output:
        return {index + 1, 0};
    case SettingScope::InputBand:
        return {index / kInputEqBands + 1, index % kInputEqBands + 1};
    case SettingScope::OutputBand:
        return {index / kOutputEqBands + 1, index % kOutputEqBands + 1};
    case SettingScope::Crosspoint:
        return {index / kInputCount + 1, index % kInputCount + 1};
    }
    return {0, 0};
}

int SettingCatalogue::indexOf(SettingScope scope, int first, int second)
{
    auto inRange = [](int value, int count) { return value >= 1 && value <= count; };
    switch (scope) {
    case SettingScope::Unit:
        return 0;
    case SettingScope::Input:
        return inRange(first, kInputCount) ? first - 1 : -1;
    case SettingScope::Output:
        return inRange(first, kOutputCount) ? first - 1 : -1;
    case SettingScope::InputBand:
        return inRange(first, kInputCount) && inRange(second, kInputEqBands)
                   ? (first - 1) * kInputEqBands + second - 1
                   : -1;
    case SettingScope::OutputBand:
        return inRange(first, kOutputCount) && inRange(second, kOutputEqBands)
                   ? (first - 1) * kOutputEqBands + second - 1
                   : -1;
    case SettingScope::Crosspoint:
        return inRange(first, kOutputCount) && inRange(second, kInputCount)
                   ? (first - 1) * kInputCount + second - 1
                   : -1;
    }
    return -1;
}

namespace {

QString filled(const char* pattern, SettingScope scope, int index)
{
    const auto [first, second] = SettingCatalogue::numbers(scope, index);
    QString text = QString::fromUtf8(pattern);
    text.replace(QLatin1String("%1"), QString::number(first));
    text.replace(QLatin1String("%2"), QString::number(second));
    return text;
}

} // namespace

QString SettingCatalogue::key(const ChangeId& id)
{
    const SettingRow& r = row(id.setting);
    const QString own = filled(r.key, r.scope, id.index);
    return id.unit == 1 ? own : QStringLiteral("unit.%1.").arg(id.unit) + own;
}

std::optional<ChangeId> SettingCatalogue::parseKey(const QString& key)
{
    static const QRegularExpression unitPrefix(QStringLiteral("^unit\\.([0-9]{1,2})\\.(.+)$"));
    ChangeId id;
    QString own = key;
    if (const auto match = unitPrefix.match(key); match.hasMatch()) {
        id.unit = match.captured(1).toInt();
        own = match.captured(2);
        if (!UnitTable::isValidUnit(id.unit)) return std::nullopt;
    }
    // The numbers of the key stand where the pattern has %1 and %2.
    static const QRegularExpression numbersInKey(QStringLiteral("\\.([0-9]{1,2})(?=\\.|$)"));
    QStringList found;
    QString pattern = own;
    for (auto it = numbersInKey.globalMatch(own); it.hasNext();)
        found << it.next().captured(1);
    if (found.size() > 2) return std::nullopt;
    for (int n = 0; n < found.size(); ++n)
        pattern.replace(pattern.indexOf(QLatin1Char('.') + found[n]) + 1, found[n].size(),
                        QStringLiteral("%%1").arg(n + 1));
    for (const SettingRow& r : kRows) {
        if (pattern != QLatin1String(r.key)) continue;
        const int index = indexOf(r.scope, found.value(0).toInt(), found.value(1).toInt());
        if (index < 0) return std::nullopt;
        id.setting = r.id;
        id.index = index;
        return id;
    }
    return std::nullopt;
}

QString SettingCatalogue::label(const ChangeId& id, Language language)
{
    const SettingRow& r = row(id.setting);
    const QString own =
        filled(language == Language::Chinese ? r.labelZh : r.labelEn, r.scope, id.index);
    if (id.unit == 1) return own;
    return language == Language::Chinese ? QStringLiteral("设备 %1：%2").arg(id.unit).arg(own)
                                         : QStringLiteral("Unit %1: %2").arg(id.unit).arg(own);
}

Language SettingCatalogue::installedLanguage()
{
    // The Chinese translation names its own language here.
    return QCoreApplication::translate("sonaro::Settings", "en") == QLatin1String("zh")
               ? Language::Chinese
               : Language::English;
}

QString SettingCatalogue::label(const ChangeId& id)
{
    return label(id, installedLanguage());
}

QString SettingCatalogue::name(SettingId id, Language language)
{
    const SettingRow& r = row(id);
    return QString::fromUtf8(language == Language::Chinese ? r.nameZh : r.nameEn);
}

int SettingCatalogue::frameIndex(SettingId id, int index)
{
    const SettingRow& r = row(id);
    if (r.frame == 'B') return index;
    if (r.frame != 'E') return 0;
    if (r.scope == SettingScope::InputBand) return index / kInputEqBands;
    const int output = index / kOutputEqBands;
    const int band = index % kOutputEqBands;
    return kInputCount + output * (kOutputEqBands / kInputEqBands) + band / kInputEqBands;
}

double SettingCatalogue::storedValue(const UnitRecord& record, const ChangeId& id)
{
    return row(id.setting).get(record, id.index);
}

double SettingCatalogue::shownFromStored(SettingId id, double stored)
{
    switch (row(id).kind) {
    case ValueKind::Level:
        return stored - kGainOffsetDb;
    case ValueKind::HoldTime:
        return stored * kHoldTimeStepMs;
    case ValueKind::FilterIndex:
        return stored > 0 ? filterTable(id)[static_cast<std::size_t>(
                                std::clamp(static_cast<int>(stored), 0, kFilterIndexCount - 1))]
                          : 0.0;
    default:
        return stored;
    }
}

double SettingCatalogue::storedFromShown(SettingId id, double shown)
{
    switch (row(id).kind) {
    case ValueKind::Level:
        return shown + kGainOffsetDb;
    case ValueKind::HoldTime:
        return std::round(shown / kHoldTimeStepMs);
    case ValueKind::FilterIndex:
        return shown > 0 ? filterIndexOf(id, shown).value_or(0) : 0;
    default:
        return shown;
    }
}

std::pair<double, double> SettingCatalogue::storedRange(SettingId id)
{
    const SettingRow& r = row(id);
    switch (r.kind) {
    case ValueKind::FilterIndex:
    case ValueKind::Mask:
        return {r.min, r.max}; // kept as the stored indexes and bits
    case ValueKind::Text:
    case ValueKind::Table:
        return {0, 0};
    default: {
        const double low = storedFromShown(id, r.min);
        const double high = storedFromShown(id, r.max);
        return {std::min(low, high), std::max(low, high)};
    }
    }
}

QStringList SettingCatalogue::outOfRange(const UnitRecord& record)
{
    QStringList bad;
    for (const SettingRow& r : kRows) {
        if (r.kind == ValueKind::Text || r.kind == ValueKind::Table) continue;
        const auto [low, high] = storedRange(r.id);
        for (int i = 0; i < indexCount(r.scope); ++i) {
            const double v = r.get(record, i);
            if (!std::isfinite(v) || v < low - 1e-9 || v > high + 1e-9)
                bad << QStringLiteral("%1 (%2)").arg(label({1, r.id, i}, Language::English)).arg(v);
        }
    }
    return bad;
}

double SettingCatalogue::shownValue(const UnitRecord& record, const ChangeId& id)
{
    return shownFromStored(id.setting, storedValue(record, id));
}

QJsonValue SettingCatalogue::jsonValue(const UnitRecord& record, const ChangeId& id)
{
    const SettingRow& r = row(id.setting);
    const double stored = storedValue(record, id);
    if (!std::isfinite(stored)) return QJsonValue();
    switch (r.kind) {
    case ValueKind::Switch:
    case ValueKind::BandType: {
        const int v = static_cast<int>(stored);
        const int words = r.kind == ValueKind::Switch ? 2 : 3;
        return v >= 0 && v < words ? QJsonValue(QLatin1String(r.words[v])) : QJsonValue(v);
    }
    case ValueKind::FilterIndex:
        return stored > 0 ? QJsonValue(shownFromStored(r.id, stored))
                          : QJsonValue(QStringLiteral("off"));
    case ValueKind::Ratio:
        return stored >= kRatioInfinite ? QJsonValue(QStringLiteral("inf")) : QJsonValue(stored);
    case ValueKind::Text:
    case ValueKind::Table:
        return QJsonValue();
    default:
        return QJsonValue(shownFromStored(r.id, stored));
    }
}

QString SettingCatalogue::text(const UnitRecord& record, const ChangeId& id)
{
    const SettingRow& r = row(id.setting);
    const QJsonValue v = jsonValue(record, id);
    if (v.isString()) return v.toString();
    if (v.isNull()) return QStringLiteral("?");
    if (r.kind == ValueKind::Ratio) return shownText(v.toDouble(), 1) + QStringLiteral(":1");
    return shownWithUnit(v.toDouble(), r);
}

namespace {

// A number in shown units held to the row's range and step.
SettingCatalogue::Parsed fromShownNumber(const SettingRow& r, double shown, const QString& given)
{
    SettingCatalogue::Parsed out;
    if (!std::isfinite(shown)) {
        out.problem = QStringLiteral("%1 is not a number").arg(given);
        return out;
    }
    double held = std::clamp(shown, r.min, r.max);
    out.outOfRange = held != shown;
    if (out.outOfRange)
        out.adjusted = QStringLiteral("%1 is outside %2 to %3: %4 taken")
                           .arg(given, shownWithUnit(r.min, r), shownWithUnit(r.max, r),
                                shownWithUnit(held, r));
    const double stepped = std::round(held / r.step) * r.step;
    if (std::abs(stepped - held) > 1e-9 && out.adjusted.isEmpty())
        out.adjusted = QStringLiteral("%1 rounded to %2").arg(given, shownWithUnit(stepped, r));
    out.stored = SettingCatalogue::storedFromShown(r.id, std::clamp(stepped, r.min, r.max));
    return out;
}

} // namespace

SettingCatalogue::Parsed SettingCatalogue::parseJson(SettingId id, const QJsonValue& value)
{
    const SettingRow& r = row(id);
    if (value.isString()) return parseText(id, value.toString());
    if (value.isBool() && r.kind == ValueKind::Switch) {
        Parsed out;
        out.stored = value.toBool() ? 1 : 0;
        return out;
    }
    if (!value.isDouble()) {
        Parsed out;
        out.problem = QStringLiteral("%1 takes %2")
                          .arg(QLatin1String(r.key),
                               r.kind == ValueKind::Switch || r.kind == ValueKind::BandType
                                   ? QStringLiteral("a word")
                                   : QStringLiteral("a number"));
        return out;
    }
    return parseText(id, QString::number(value.toDouble(), 'g', 12));
}

SettingCatalogue::Parsed SettingCatalogue::parseText(SettingId id, const QString& given)
{
    const SettingRow& r = row(id);
    Parsed out;
    const QString text = given.trimmed();
    switch (r.kind) {
    case ValueKind::Switch:
    case ValueKind::BandType: {
        const int words = r.kind == ValueKind::Switch ? 2 : 3;
        QStringList choices;
        for (int w = 0; w < words; ++w) {
            choices << QLatin1String(r.words[w]);
            if (text.compare(QLatin1String(r.words[w]), Qt::CaseInsensitive) == 0) {
                out.stored = w;
                return out;
            }
        }
        out.problem = QStringLiteral("'%1' is not one of %2").arg(given, choices.join('|'));
        return out;
    }
    case ValueKind::FilterIndex: {
        if (text.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0) {
            out.stored = 0;
            return out;
        }
        const QByteArray bytes = text.toUtf8();
        const auto v =
            parseValueText(ValueUnit::Hertz, std::string_view(bytes.constData(), bytes.size()))
                .value;
        const auto index =
            v && v->kind == TypedValue::Kind::Number ? filterIndexOf(id, v->value) : std::nullopt;
        if (!index) {
            out.problem = QStringLiteral("'%1' is not a cut-off of this filter: off or %2")
                              .arg(given, filterChoices(id));
            return out;
        }
        out.stored = *index;
        return out;
    }
    case ValueKind::Mask:
    case ValueKind::Text:
    case ValueKind::Table:
        out.problem = QStringLiteral("%1 is not set as a value").arg(QLatin1String(r.key));
        return out;
    default:
        break;
    }
    const QByteArray bytes = text.toUtf8();
    const ValueTextResult result =
        parseValueText(typedUnit(r.kind),
                       std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!result.value) {
        out.problem =
            QStringLiteral("'%1' is not a value in %2")
                .arg(given, r.unitText[0] ? QLatin1String(r.unitText) : QLatin1String("numbers"));
        return out;
    }
    const TypedValue& v = *result.value;
    if (v.kind == TypedValue::Kind::Infinite) {
        if (r.kind != ValueKind::Ratio) {
            out.problem = QStringLiteral("'%1' is not a number").arg(given);
            return out;
        }
        out.stored = kRatioInfinite;
        return out;
    }
    if (v.kind == TypedValue::Kind::Off) {
        // The limiter's threshold is off at its top; nothing else has an off position.
        if (id != SettingId::LimiterThreshold) {
            out.problem = QStringLiteral("%1 has no off position").arg(QLatin1String(r.key));
            return out;
        }
        out.stored = kThresholdOff;
        return out;
    }
    if (r.kind == ValueKind::Ratio && v.value > kRatioMaxListed && v.value < kRatioInfinite) {
        // Ratios above 10:1 act as the unit's "INF:1".
        out.stored = kRatioInfinite;
        out.adjusted = QStringLiteral("%1 taken as INF:1").arg(given);
        return out;
    }
    return fromShownNumber(r, v.value, given);
}

} // namespace sonaro
