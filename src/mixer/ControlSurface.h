#pragma once

#include "mixer/CommandPort.h"
#include "model/OperatorInterface.h"
#include "model/UnitTable.h"
#include "model/ValueConventions.h"
#include "store/GroupStore.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace sonaro {

// True when the strip is grouped and its group links this kind of control.
bool links(const StripGroupData& group, LinkFlag flag);

// Where a gain change stands.
enum class Phase
{
    Dragging,  // the fader is moving: the unit follows at once, the link's watchdog stays quiet
    Committed, // the fader was let go (or a key moved it): the change is final
    Entered    // a number was given (typed read-out, a script): the gain alone changes, and a
               // muted channel ignores it
};

// What became of an operator's intent.
enum class Outcome
{
    Applied,      // the record changed and, while connected, the command(s) went to the link
    Unchanged,    // the setting already had that value: nothing changed, nothing was sent (an
                  // editor's button sends its frames all the same, as the unit's editors do)
    Refused,      // not allowed for the logged-in account; the operator was told
    Inapplicable, // the control does not apply now (a muted channel, Auto threshold, EQ off)
    Declined      // the operator answered No to the action's question
};

enum class OutputLevel
{
    Line = 0,
    Mic = 1
};

enum class ThresholdMode
{
    Auto = 0,
    Manual = 1
};

enum class DeviceMode
{
    Slave = 0,
    Master = 1
};

// Every operator intent of the strips, the matrix and the system page, for the desktop and for
// sonaroctl alike. An intent changes the current unit's record, repeats the change on linked
// channels where the group allows it, and asks the link for the command(s) while the unit is
// connected; otherwise the port holds the change for the next login. Administrator-only settings
// (routing, panel lock, device mode, automix mode, threshold, hold time, maximum open channels,
// factory restore) are refused here, in one place. Views repaint from the record when the signals
// below arrive.
class ControlSurface : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMinDb = -50;
    static constexpr int kMaxDb = 10;
    static constexpr int kHoldTimeStepMs = sonaro::kHoldTimeStepMs;

    ControlSurface(UnitTable& table, CommandPort& port, OperatorInterface& op,
                   QObject* parent = nullptr);

    UnitTable& table() { return m_table; }
    UnitRecord& record() { return m_table.current(); }
    int unit() const { return m_table.currentUnit(); }
    bool connected() const { return m_table.current().connected != 0; }
    // Where the surface's commands go (undo sends the restored values the same way).
    CommandPort& commandPort() { return m_port; }

    // The database of channel names and groups. Without one, strips are never grouped and J
    // carries an empty table.
    void setDatabase(Database* db);
    // Group data of every strip, computed by the store after each group reload.
    void setStripGroups(const StripGroups& groups) { m_groups = groups; }
    const StripGroups& stripGroups() const { return m_groups; }
    // Reads the groups from the database again and hands every strip its group data.
    void reloadGroups();

    // The administrator account is logged in (or was the last one to log in).
    bool administrator() const { return m_table.record(1).accountLevel == 1; }
    // True for the administrator account. Otherwise tells the operator "You do not have
    // permission." and returns false: the one check behind every administrator-only setting and
    // page. The refusal names the setting, or the action (a QT_TRANSLATE_NOOP literal of the
    // context "sonaro::EventLog", such as "the matrix").
    bool requireAdministrator(SettingId setting);
    bool requireAdministrator(const char* action);

    // --- input strip --------------------------------------------------------------------------
    Outcome setInputGain(int channel, int dB, Phase phase);
    Outcome setInputMute(int channel, bool mute);
    // LINE sources get no phantom power, MIC sources get it back.
    Outcome setInputLine(int channel, bool line);
    Outcome setInputPhantom(int channel, bool on);
    Outcome setInputPriority(int channel, bool on);

    // --- output strip -------------------------------------------------------------------------
    // A fader move un-mutes the output first; an Entered value does not.
    Outcome setOutputGain(int output, int dB, Phase phase);
    Outcome setOutputMute(int output, bool mute);
    Outcome setOutputLevelType(int output, OutputLevel level);
    // The output's equaliser editor may open only once the equaliser is on; otherwise the
    // operator is told to open it first.
    Outcome requestOutputEq(int output, bool equaliserOn);

    // --- matrix (administrator) ---------------------------------------------------------------
    Outcome setCrosspoint(int input, int output, bool routed);
    bool crosspoint(int input, int output) const;

    // --- system page (administrator) ----------------------------------------------------------
    Outcome setPanelLock(bool locked);
    Outcome setDeviceMode(DeviceMode mode);
    Outcome setThresholdMode(ThresholdMode mode);
    // Manual mode only: in Auto the unit sets its threshold itself.
    Outcome setThreshold(int dB);
    bool thresholdAdjustable() const { return m_table.current().thresholdMode == 1; }
    // Rounded to the unit's 50 ms steps, 0 to 2000 ms.
    Outcome setHoldTime(int ms);
    Outcome setMaxOpenChannels(int count);

    // J with the groups of the database (after the group dialog's OK, while connected).
    void sendLinkTable();
    // Sends the whole record as opening a preset does (L 0 ... L 1 with 50 ms pauses).
    void sendPresetSequence();
    // Sends the whole record as the factory restore does (L 0 ... L 1 with 100 ms pauses).
    void sendFactorySequence();

    // "Done" is said only once the unit confirmed: text is shown when the change of setting
    // (none: every change of the unit now on its way) is confirmed, at once when nothing is on
    // its way, never when it could not be delivered. Without a connected unit the operator is
    // told that the change was saved and waits.
    void reportWhenDelivered(Severity severity, const QString& text,
                             std::optional<ChangeId> setting = std::nullopt);
    // "Saved — will be sent when connected", in the operator's language.
    static QString savedOfflineText();
    // The delivery's verdicts on the operator's changes.
    void changeConfirmed(const sonaro::ChangeId& id);
    void changeNotDelivered(const sonaro::ChangeId& id);

signals:
    // The groups were reloaded: strips and channel tabs lay themselves out again.
    void groupsChanged();
    void inputStripChanged(int ch);
    void outputStripChanged(int out);
    void matrixChanged();
    void systemChanged();
    // The record changed in many places (a report, the operator's choice, a restore): refresh
    // every control.
    void refreshNeeded();
    // The record was replaced on purpose (a preset, the factory restore): undo starts afresh.
    void recordReplaced();
    // An administrator-only setting or action was refused (for the event log).
    void settingRefused(const sonaro::ChangeId& setting);
    void actionRefused(const char* action);

private:
    std::vector<int> linkedChannels(const StripGroupData& group, int own, LinkFlag flag) const;
    void request(char kind, int index = 0, int times = 1, int pauseAfterMs = 0,
                 bool renewsLastHeard = false);
    void requestJ(int pauseAfterMs);
    void markSelectedOutput(int out);
    // A switch of every linked input; nothing happens when the own channel has the value already.
    Outcome setLinkedInputSwitch(int channel, bool on, LinkFlag flag,
                                 std::int32_t (UnitRecord::*field)[kInputCount], char command,
                                 int times);
    Outcome applySystemSwitch(SettingId setting, std::int32_t UnitRecord::*field, int value);
    bool refuse();

    struct AwaitedMessage
    {
        Severity severity;
        QString text;
        QSet<ChangeId> fields;
    };

    UnitTable& m_table;
    CommandPort& m_port;
    std::vector<AwaitedMessage> m_awaitedMessages;
    OperatorInterface& m_op;
    StripGroups m_groups;
    Database* m_db = nullptr;
};

} // namespace sonaro
