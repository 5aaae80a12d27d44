#pragma once

#include "mixer/CommandPort.h"
#include "model/OperatorInterface.h"
#include "model/UnitTable.h"
#include "store/GroupStore.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace sonaro {

// Where the matrix grid sits in the view, and how a click finds its cell.
struct MatrixGeometry
{
    static constexpr int kCellSize = 80;
    static constexpr int kGap = 1;
    static constexpr int kWidth = (kCellSize + kGap) * kInputCount + 20;   // 668
    static constexpr int kHeight = (kCellSize + kGap) * kOutputCount + 20; // 182
    int left = 20;
    int top = 20;

    struct Cell
    {
        int input;  // 0..7, column from the left
        int output; // 0 = top row (M1), 1 = bottom row (M2)
    };
    // Client position (x, y) with the view scrolled by (sx, sy). A click in the one-pixel gap
    // belongs to the cell left of or above it; clicks outside the grid hit nothing.
    std::optional<Cell> hitTest(int x, int y, int sx = 0, int sy = 0) const;
    // Centres the grid in a view of this size (or puts it at 100/20 when it does not fit).
    void centreIn(int viewWidth, int viewHeight);
};

// Crosspoint colours, 0xRRGGBB.
constexpr unsigned kMatrixOnColour = 0x00A5DD;  // RGB 0, 165, 221
constexpr unsigned kMatrixOffColour = 0x999999; // RGB 153, 153, 153
constexpr unsigned kLegendClosedColour = 0x808080;

// True when the strip is grouped and its group links this kind of control.
bool links(const StripGroupData& group, LinkFlag flag);

// Meter push value of the strips' 30 ms timer: the level is clamped to 80..191 (and written
// back), then scaled to 0..50.
int meterPushValue(std::int32_t& level);
// Labels that follow the language setting.
QString openStateText(int open, Language language);
QString inputSourceText(int line, Language language);
QString outputLevelText(int levelType, Language language);

// Every operator control of the strips, the matrix and the system page as one action each.
// An action changes the current unit's record, repeats the change on linked channels where the
// group allows it, and asks the link for the command(s) only while the unit is connected. Views
// repaint from the record when the signals below arrive.
class ControlSurface : public QObject
{
    Q_OBJECT

public:
    ControlSurface(UnitTable& table, CommandPort& port, OperatorInterface& op,
                   QObject* parent = nullptr);

    UnitTable& table() { return m_table; }
    UnitRecord& record() { return m_table.current(); }
    int unit() const { return m_table.currentUnit(); }
    bool connected() const { return m_table.current().connected != 0; }

    // The database of channel names and groups. Without one, strips are never grouped, J
    // carries an empty table and presets carry no groups.
    void setDatabase(Database* db);
    Database* database() const { return m_db; }
    // Group data of every strip, computed by the store after each group reload.
    void setStripGroups(const StripGroups& groups) { m_groups = groups; }
    const StripGroups& stripGroups() const { return m_groups; }
    // Reads the groups from the database again and hands every strip its group data.
    void reloadGroups();
    // Overrides where J's table and the factory restore's database reset come from (tests).
    void setLinkTableProvider(std::function<LinkTable()> provider);
    void setFactoryDatabaseReset(std::function<void()> reset);

    // --- state and preset files ----------------------------------------------------------------
    // "OPEN FILE": needs a connected unit ("Cannot connect." before any file is chosen), reads
    // the chosen file (an empty path means the operator cancelled), rebuilds the groups and
    // sends the whole record. True when the preset was opened.
    bool openPreset(const std::function<QString()>& choosePath);
    // "SAVE FILE": writes record 1 and the groups; no connection needed.
    bool savePreset(const std::function<QString()>& choosePath);
    // The start-up state file, written at Disconnect and close, read once at start-up.
    bool writeStateFile(const QString& path);
    bool readStartupState(const QString& path);

    // --- input strip --------------------------------------------------------------------------
    void inputFader(int ch, int position, bool dragging);
    void inputArrowKey(int ch, bool up);
    // Returns the read-out text the strip shows afterwards.
    QString inputTypedValue(int ch, const QString& text);
    void toggleInputLine(int ch);
    void toggleInputPhantom(int ch);
    void toggleInputMute(int ch);
    void toggleInputPriority(int ch);

    // --- output strip -------------------------------------------------------------------------
    void outputFaderReleased(int out, int position);
    void outputFaderDragged(int out, int position);
    QString outputTypedValue(int out, const QString& text);
    void toggleOutputLevelType(int out);
    void toggleOutputMute(int out);
    // The curve area opens the editor only while the output's EQ is on.
    bool outputCurveClicked(int out, bool eqOn);

    // --- matrix --------------------------------------------------------------------------------
    void toggleCrosspoint(int input, int output);
    bool matrixClick(const MatrixGeometry& geometry, int x, int y, int sx = 0, int sy = 0);
    bool crosspoint(int input, int output) const;

    // --- system page ---------------------------------------------------------------------------
    void togglePanelLock();
    void toggleDeviceMode();
    void toggleThresholdMode();
    bool thresholdKnobEnabled() const { return m_table.current().thresholdMode == 1; }
    void thresholdKnobReleased(int position);
    void holdTimeKnobReleased(int position);
    void applyMaxOpenChannels(int listIndex);
    // Asks first; returns false when the operator said No.
    bool factoryRestore();

    // J with the groups of the database (after the group dialog's OK, while connected).
    void sendLinkTable();
    // Sends the whole record as the preset opening does (L 0 ... L 1 with 50 ms pauses).
    void sendPresetSequence();

signals:
    // The groups were reloaded: strips and channel tabs lay themselves out again.
    void groupsChanged();
    void inputStripChanged(int ch);
    void outputStripChanged(int out);
    void matrixChanged();
    void systemChanged();
    // The whole record changed (factory restore, preset): refresh every control.
    void refreshNeeded();

private:
    std::vector<int> linkedChannels(const StripGroupData& group, int own, LinkFlag flag) const;
    void request(char kind, int index = 0, int times = 1, int pauseAfterMs = 0,
                 bool renewsLastHeard = false);
    void requestJ(int pauseAfterMs);
    void markSelectedOutput(int out);
    void applyOutputGain(int out, int position, bool dragging);

    UnitTable& m_table;
    CommandPort& m_port;
    OperatorInterface& m_op;
    StripGroups m_groups;
    Database* m_db = nullptr;
    std::function<LinkTable()> m_linkTable;
    std::function<void()> m_resetDatabase;
};

} // namespace sonaro
