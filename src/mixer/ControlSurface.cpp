#include "mixer/ControlSurface.h"

#include "model/ValueConventions.h"
#include "store/Database.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace sonaro {

namespace {

constexpr int kMicLinePauseMs = 50;  // M settles before the gain comes back
constexpr int kRestorePauseMs = 100; // between the commands of the factory restore
constexpr int kPresetPauseMs = 50;   // between the commands of a preset
constexpr int kEqSlots = 14;

bool validInput(int ch)
{
    return ch >= 0 && ch < kInputCount;
}

bool validOutput(int out)
{
    return out >= 0 && out < kOutputCount;
}

int gainForDb(int dB)
{
    return std::clamp(dbToGain(dB), 0, kGainMax);
}

} // namespace

bool links(const StripGroupData& group, LinkFlag flag)
{
    return group.grouped && group.flags[static_cast<std::size_t>(flag)];
}

ControlSurface::ControlSurface(UnitTable& table, CommandPort& port, OperatorInterface& op,
                               QObject* parent)
    : QObject(parent), m_table(table), m_port(port), m_op(op)
{
}

void ControlSurface::setDatabase(Database* db)
{
    m_db = db;
}

void ControlSurface::reloadGroups()
{
    m_groups = m_db ? GroupStore(*m_db).computeStripGroups(unit()) : StripGroups{};
    emit groupsChanged();
}

bool ControlSurface::refuse()
{
    m_op.showMessage(Severity::Error, QCoreApplication::translate("sonaro::ControlSurface",
                                                                  "You do not have permission."));
    return false;
}

bool ControlSurface::requireAdministrator(SettingId setting)
{
    if (administrator()) return true;
    emit settingRefused({unit(), setting, 0});
    return refuse();
}

bool ControlSurface::requireAdministrator(const char* action)
{
    if (administrator()) return true;
    emit actionRefused(action);
    return refuse();
}

std::vector<int> ControlSurface::linkedChannels(const StripGroupData& group, int own,
                                                LinkFlag flag) const
{
    if (!links(group, flag) || group.linkedChannels.empty()) return {own};
    return group.linkedChannels;
}

void ControlSurface::request(char kind, int index, int times, int pauseAfterMs,
                             bool renewsLastHeard)
{
    CommandRequest r;
    r.kind = kind;
    r.unit = unit();
    r.index = index;
    r.times = times;
    r.pauseAfterMs = pauseAfterMs;
    r.renewsLastHeard = renewsLastHeard;
    // Without a unit the change is kept and goes at the next login.
    m_port.submit(r);
}

void ControlSurface::requestJ(int pauseAfterMs)
{
    CommandRequest r;
    r.kind = 'J';
    r.unit = unit();
    r.pauseAfterMs = pauseAfterMs;
    r.renewsLastHeard = true;
    r.linkTable = m_db ? GroupStore(*m_db).sendLinkTable(unit()) : LinkTable{};
    // Groups prepared without a unit wait for the next login, as the other settings do.
    m_port.submit(r);
}

// --- input strip
// ----------------------------------------------------------------------------------

Outcome ControlSurface::setInputGain(int ch, int dB, Phase phase)
{
    if (!validInput(ch)) return Outcome::Inapplicable;
    UnitRecord& r = record();
    // A number given for a muted input changes nothing; its read-out stays at the bottom.
    if (phase == Phase::Entered && r.inputMute[ch]) return Outcome::Inapplicable;
    const int gain = gainForDb(dB);
    const std::vector<int> channels =
        linkedChannels(m_groups.inputs[static_cast<std::size_t>(ch)], ch, kGainLink);
    // A number typed for the value it already has sends nothing.
    if (phase == Phase::Entered && std::all_of(channels.begin(), channels.end(), [&](int c) {
            return !validInput(c) || r.inputGain[c] == gain;
        }))
        return Outcome::Unchanged;
    for (int linked :
         linkedChannels(m_groups.inputs[static_cast<std::size_t>(ch)], ch, kGainLink)) {
        if (!validInput(linked)) continue;
        r.inputGain[linked] = gain;
        emit inputStripChanged(linked);
    }
    request('V', 0, 1, 0, phase == Phase::Dragging);
    return Outcome::Applied;
}

Outcome ControlSurface::setLinkedInputSwitch(int ch, bool on, LinkFlag flag,
                                             std::int32_t (UnitRecord::*field)[kInputCount],
                                             char command, int times)
{
    if (!validInput(ch)) return Outcome::Inapplicable;
    UnitRecord& r = record();
    const int value = on ? 1 : 0;
    if ((r.*field)[ch] == value) return Outcome::Unchanged;
    for (int linked : linkedChannels(m_groups.inputs[static_cast<std::size_t>(ch)], ch, flag)) {
        if (!validInput(linked)) continue;
        (r.*field)[linked] = value;
        emit inputStripChanged(linked);
    }
    request(command, 0, times);
    return Outcome::Applied;
}

Outcome ControlSurface::setInputMute(int ch, bool mute)
{
    return setLinkedInputSwitch(ch, mute, kMuteLink, &UnitRecord::inputMute, 'V', 2);
}

Outcome ControlSurface::setInputPhantom(int ch, bool on)
{
    return setLinkedInputSwitch(ch, on, kPhantomLink, &UnitRecord::inputPhantom, 'M', 1);
}

Outcome ControlSurface::setInputPriority(int ch, bool on)
{
    return setLinkedInputSwitch(ch, on, kPriorityLink, &UnitRecord::inputPriority, 'M', 1);
}

Outcome ControlSurface::setInputLine(int ch, bool line)
{
    if (!validInput(ch)) return Outcome::Inapplicable;
    UnitRecord& r = record();
    if ((r.inputLine[ch] != 0) == line) return Outcome::Unchanged;
    r.inputLine[ch] = line ? 1 : 0;
    r.inputPhantom[ch] = line ? 0 : 1;
    const int gain = r.inputGain[ch];
    r.inputGain[ch] = 0;
    request('M', 0, 1, kMicLinePauseMs);
    r.inputGain[ch] = std::clamp(gain, 0, kGainMax);
    emit inputStripChanged(ch);
    return Outcome::Applied;
}

// --- output strip
// ---------------------------------------------------------------------------------

void ControlSurface::markSelectedOutput(int out)
{
    UnitRecord& r = record();
    r.outputFlagA = out == 0 ? 1 : 0;
    r.outputFlagB = out == 1 ? 1 : 0;
    r.outputFlagC = r.outputLevelType[out];
}

Outcome ControlSurface::setOutputGain(int out, int dB, Phase phase)
{
    if (!validOutput(out)) return Outcome::Inapplicable;
    UnitRecord& r = record();
    const StripGroupData& group = m_groups.outputs[static_cast<std::size_t>(out)];
    const int gain = gainForDb(dB);
    if (phase == Phase::Entered) {
        // A muted output shows -50 dB and ignores a number given for it.
        if (r.outputMute[out]) return Outcome::Inapplicable;
        const std::vector<int> outputs = linkedChannels(group, out, kGainLink);
        if (std::all_of(outputs.begin(), outputs.end(),
                        [&](int o) { return !validOutput(o) || r.outputGain[o] == gain; }))
            return Outcome::Unchanged;
        for (int o : outputs) {
            if (!validOutput(o)) continue;
            r.outputGain[o] = gain;
            emit outputStripChanged(o);
        }
        request('V');
        return Outcome::Applied;
    }
    // Moving a fader un-mutes its output before the gain is applied.
    for (int o : linkedChannels(group, out, kGainLink)) {
        if (!validOutput(o)) continue;
        r.outputMute[o] = 0;
        r.outputGain[o] = gain;
        emit outputStripChanged(o);
    }
    if (!links(group, kGainLink)) markSelectedOutput(out);
    // A drag sends V twice in a row, as the unit's own strips do on a lossy link.
    if (phase == Phase::Dragging) {
        request('V', 0, 2, 0, true);
    } else {
        request('M');
        request('V');
    }
    return Outcome::Applied;
}

Outcome ControlSurface::setOutputLevelType(int out, OutputLevel level)
{
    if (!validOutput(out)) return Outcome::Inapplicable;
    UnitRecord& r = record();
    const int value = level == OutputLevel::Mic ? 1 : 0;
    if (r.outputLevelType[out] == value) return Outcome::Unchanged;
    r.outputLevelType[out] = value;
    markSelectedOutput(out);
    emit outputStripChanged(out);
    request('M');
    return Outcome::Applied;
}

Outcome ControlSurface::setOutputMute(int out, bool mute)
{
    if (!validOutput(out)) return Outcome::Inapplicable;
    UnitRecord& r = record();
    const int value = mute ? 1 : 0;
    if (r.outputMute[out] == value) return Outcome::Unchanged;
    const StripGroupData& group = m_groups.outputs[static_cast<std::size_t>(out)];
    // The stored gain stays: a muted output shows its fader at the bottom and goes out as 0.
    for (int o : linkedChannels(group, out, kMuteLink)) {
        if (!validOutput(o)) continue;
        r.outputMute[o] = value;
        emit outputStripChanged(o);
    }
    if (!links(group, kMuteLink)) markSelectedOutput(out);
    request('M');
    request('V', 0, 2);
    return Outcome::Applied;
}

Outcome ControlSurface::requestOutputEq(int out, bool equaliserOn)
{
    if (!validOutput(out)) return Outcome::Inapplicable;
    if (!equaliserOn) {
        m_op.showMessage(Severity::Error, QStringLiteral("Please Open the Equalizer."));
        return Outcome::Inapplicable;
    }
    return Outcome::Applied;
}

// --- matrix
// ---------------------------------------------------------------------------------------

bool ControlSurface::crosspoint(int input, int output) const
{
    if (!validInput(input) || !validOutput(output)) return false;
    return (m_table.current().routing[output] >> input) & 1;
}

Outcome ControlSurface::setCrosspoint(int input, int output, bool routed)
{
    if (!validInput(input) || !validOutput(output)) return Outcome::Inapplicable;
    if (!requireAdministrator(SettingId::Crosspoint)) return Outcome::Refused;
    if (crosspoint(input, output) == routed) return Outcome::Unchanged;
    UnitRecord& r = record();
    r.routing[output] = (r.routing[output] ^ (1 << input)) & 0xFF;
    request('G');
    emit matrixChanged();
    return Outcome::Applied;
}

// --- system page
// ----------------------------------------------------------------------------------

Outcome ControlSurface::applySystemSwitch(SettingId setting, std::int32_t UnitRecord::*field,
                                          int value)
{
    if (!requireAdministrator(setting)) return Outcome::Refused;
    UnitRecord& r = record();
    if (r.*field == value) return Outcome::Unchanged;
    r.*field = value;
    emit systemChanged();
    request('M');
    return Outcome::Applied;
}

Outcome ControlSurface::setPanelLock(bool locked)
{
    return applySystemSwitch(SettingId::PanelLock, &UnitRecord::panelLock, locked ? 1 : 0);
}

Outcome ControlSurface::setDeviceMode(DeviceMode mode)
{
    return applySystemSwitch(SettingId::DeviceMode, &UnitRecord::deviceMode,
                             mode == DeviceMode::Master ? 1 : 0);
}

Outcome ControlSurface::setThresholdMode(ThresholdMode mode)
{
    return applySystemSwitch(SettingId::AutomixMode, &UnitRecord::thresholdMode,
                             mode == ThresholdMode::Manual ? 1 : 0);
}

Outcome ControlSurface::setThreshold(int dB)
{
    if (!requireAdministrator(SettingId::Threshold)) return Outcome::Refused;
    // In Auto mode the unit sets the threshold itself.
    if (!thresholdAdjustable()) return Outcome::Inapplicable;
    if (record().threshold == gainForDb(dB)) return Outcome::Unchanged;
    record().threshold = gainForDb(dB);
    emit systemChanged();
    request('V');
    reportWhenDelivered(Severity::Information, QStringLiteral("Set ok."),
                        ChangeId{unit(), SettingId::Threshold, 0});
    return Outcome::Applied;
}

Outcome ControlSurface::setHoldTime(int ms)
{
    if (!requireAdministrator(SettingId::HoldTime)) return Outcome::Refused;
    const int steps = static_cast<int>(std::lround(static_cast<double>(ms) / kHoldTimeStepMs));
    if (record().holdTime == std::clamp(steps, 0, kHoldTimeMax)) return Outcome::Unchanged;
    record().holdTime = std::clamp(steps, 0, kHoldTimeMax);
    emit systemChanged();
    request('G');
    reportWhenDelivered(Severity::Information, QStringLiteral("Set ok."),
                        ChangeId{unit(), SettingId::HoldTime, 0});
    return Outcome::Applied;
}

Outcome ControlSurface::setMaxOpenChannels(int count)
{
    if (!requireAdministrator(SettingId::MaxOpen)) return Outcome::Refused;
    const int held = std::clamp(count, 1, kMaxOpenChannelsMax);
    if (record().maxOpenChannels == held) return Outcome::Unchanged;
    record().maxOpenChannels = held;
    emit systemChanged();
    request('G');
    reportWhenDelivered(Severity::Notice, QStringLiteral("Set OK."),
                        ChangeId{unit(), SettingId::MaxOpen, 0});
    return Outcome::Applied;
}

// --- confirmations
// -------------------------------------------------------------------------------

QString ControlSurface::savedOfflineText()
{
    return QCoreApplication::translate("sonaro::ControlSurface",
                                       "Saved \u2014 will be sent when connected");
}

void ControlSurface::reportWhenDelivered(Severity severity, const QString& text,
                                         std::optional<ChangeId> setting)
{
    if (!connected()) {
        m_op.showMessage(Severity::Information, savedOfflineText());
        return;
    }
    QSet<ChangeId> awaited;
    for (const ChangeId& id : m_port.unconfirmed())
        if (setting ? id == *setting : id.unit == unit()) awaited.insert(id);
    // Nothing on its way: the unit has reported these values already.
    if (awaited.isEmpty()) {
        m_op.showMessage(severity, text);
        return;
    }
    m_awaitedMessages.push_back({severity, text, awaited});
}

void ControlSurface::changeConfirmed(const ChangeId& what)
{
    for (auto it = m_awaitedMessages.begin(); it != m_awaitedMessages.end();) {
        it->fields.remove(what);
        if (!it->fields.isEmpty()) {
            ++it;
            continue;
        }
        const AwaitedMessage done = *it;
        it = m_awaitedMessages.erase(it);
        m_op.showMessage(done.severity, done.text);
    }
}

void ControlSurface::changeNotDelivered(const ChangeId& what)
{
    // What did not arrive is never reported as done.
    std::erase_if(m_awaitedMessages,
                  [&](const AwaitedMessage& m) { return m.fields.contains(what); });
}

// --- whole-record sequences
// ------------------------------------------------------------------------

void ControlSurface::sendLinkTable()
{
    requestJ(0);
}

void ControlSurface::sendPresetSequence()
{
    request('L', 0, 1, 0, true);
    request('V', 0, 1, kPresetPauseMs, true);
    request('M', 0, 1, kPresetPauseMs, true);
    requestJ(kPresetPauseMs);
    request('G', 0, 1, kPresetPauseMs, true);
    for (int slot = 0; slot < kEqSlots; ++slot)
        request('E', slot, 1, slot == kEqSlots - 1 ? kPresetPauseMs : 0, true);
    request('B', 0, 1, kPresetPauseMs, true);
    request('B', 1, 1, kPresetPauseMs, true);
    request('L', 1, 1, 0, true);
}

void ControlSurface::sendFactorySequence()
{
    request('L', 0, 1, 0, true);
    for (char kind : {'M', 'G', 'V'})
        request(kind, 0, 1, kRestorePauseMs, true);
    requestJ(kRestorePauseMs);
    for (int slot = 0; slot < kEqSlots; ++slot)
        request('E', slot, 1, kRestorePauseMs, true);
    for (int out = 0; out < kOutputCount; ++out)
        request('B', out, 1, kRestorePauseMs, true);
    request('C', unit(), 1, kRestorePauseMs, true);
    request('L', 1, 1, 0, true);
}

} // namespace sonaro
