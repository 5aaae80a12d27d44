#include "mixer/ControlSurface.h"

#include "mixer/StateFile.h"
#include "model/ValueConventions.h"
#include "protocol/FrameCodec.h"
#include "store/Database.h"
#include "store/DeviceRegistry.h"

#include <QSaveFile>

#include <algorithm>

namespace sonaro {

namespace {

constexpr int kMinDb = -50;
constexpr int kMaxDb = 10;
constexpr int kMicLinePauseMs = 50;  // M settles before the gain comes back
constexpr int kRestorePauseMs = 100; // between the commands of the factory restore
constexpr int kPresetPauseMs = 50;   // between the commands of a preset
constexpr int kEqSlots = 14;
constexpr int kMeterMin = 80;
constexpr int kMeterMax = 191;

// Floor division, so that positions left of or above the grid never land in column/row 0.
int floorDiv(int a, int b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

QString dbText(int db)
{
    return QStringLiteral("%1dB").arg(db);
}

} // namespace

bool links(const StripGroupData& group, LinkFlag flag)
{
    return group.grouped && group.flags[static_cast<std::size_t>(flag)];
}

// --- free helpers
// ---------------------------------------------------------------------------------

std::optional<MatrixGeometry::Cell> MatrixGeometry::hitTest(int x, int y, int sx, int sy) const
{
    const int column = floorDiv(x - left + sx, kCellSize + kGap);
    const int r = floorDiv(y - top + sy, kCellSize + kGap);
    if (column < 0 || column >= kInputCount || r < 0 || r >= kOutputCount) return std::nullopt;
    return Cell{column, r};
}

void MatrixGeometry::centreIn(int viewWidth, int viewHeight)
{
    left = viewWidth >= kWidth ? (viewWidth - kWidth) / 2 : 100;
    top = viewHeight >= kHeight ? (viewHeight - kHeight) / 2 : 20;
}

int meterPushValue(std::int32_t& level)
{
    level = std::clamp(level, kMeterMin, kMeterMax);
    return ((5 * level - 400) * 10) / 110;
}

QString openStateText(int open, Language language)
{
    if (language == Language::English) return open ? "ACTIVE" : "WAITING";
    return open ? QString::fromUtf8("话筒打开") : QString::fromUtf8("话筒关闭");
}

QString inputSourceText(int line, Language language)
{
    if (language == Language::English) return line ? "LINE" : "MIC";
    return line ? QString::fromUtf8("线输入") : QString::fromUtf8("咪输入");
}

QString outputLevelText(int levelType, Language language)
{
    if (language == Language::English) return levelType ? "MIC" : "LINE";
    return levelType ? QString::fromUtf8("咪输出") : QString::fromUtf8("线输出");
}

// --- surface
// --------------------------------------------------------------------------------------

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

void ControlSurface::setLinkTableProvider(std::function<LinkTable()> provider)
{
    m_linkTable = std::move(provider);
}

void ControlSurface::setFactoryDatabaseReset(std::function<void()> reset)
{
    m_resetDatabase = std::move(reset);
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
    m_port.submit(r);
}

void ControlSurface::requestJ(int pauseAfterMs)
{
    CommandRequest r;
    r.kind = 'J';
    r.unit = unit();
    r.pauseAfterMs = pauseAfterMs;
    r.renewsLastHeard = true;
    if (m_linkTable)
        r.linkTable = m_linkTable();
    else
        r.linkTable = m_db ? GroupStore(*m_db).sendLinkTable() : LinkTable{};
    m_port.submit(r);
}

// --- input strip
// ----------------------------------------------------------------------------------

void ControlSurface::inputFader(int ch, int position, bool dragging)
{
    const int p = std::clamp(position, 0, kGainMax);
    UnitRecord& r = record();
    for (int linked : linkedChannels(m_groups.inputs[ch], ch, kGainLink)) {
        r.inputGain[linked] = gainForFaderPosition(p);
        emit inputStripChanged(linked);
    }
    if (connected()) request('V', 0, 1, 0, dragging);
}

void ControlSurface::inputArrowKey(int ch, bool up)
{
    const int gain = std::clamp(record().inputGain[ch] + (up ? 1 : -1), 0, kGainMax);
    record().inputGain[ch] = gain;
    inputFader(ch, faderPositionForGain(gain), false);
}

QString ControlSurface::inputTypedValue(int ch, const QString& text)
{
    const int db = std::clamp(decimalField(text.toStdString()), kMinDb, kMaxDb);
    UnitRecord& r = record();
    if (r.inputMute[ch]) return dbText(kMinDb);
    // Typed values follow the gain link like the fader and the arrow keys do.
    for (int linked : linkedChannels(m_groups.inputs[ch], ch, kGainLink)) {
        r.inputGain[linked] = dbToGain(db);
        emit inputStripChanged(linked);
    }
    if (connected()) request('V');
    return dbText(db);
}

void ControlSurface::toggleInputLine(int ch)
{
    UnitRecord& r = record();
    r.inputLine[ch] = r.inputLine[ch] ? 0 : 1;
    // LINE sources get no phantom power; MIC sources get it back.
    r.inputPhantom[ch] = r.inputLine[ch] ? 0 : 1;
    const int gain = r.inputGain[ch];
    r.inputGain[ch] = 0;
    if (connected()) request('M', 0, 1, kMicLinePauseMs);
    r.inputGain[ch] = std::clamp(gain, 0, kGainMax);
    emit inputStripChanged(ch);
}

void ControlSurface::toggleInputPhantom(int ch)
{
    UnitRecord& r = record();
    const int value = r.inputPhantom[ch] ? 0 : 1;
    for (int linked : linkedChannels(m_groups.inputs[ch], ch, kPhantomLink)) {
        r.inputPhantom[linked] = value;
        emit inputStripChanged(linked);
    }
    if (connected()) request('M');
}

void ControlSurface::toggleInputMute(int ch)
{
    UnitRecord& r = record();
    const int value = r.inputMute[ch] ? 0 : 1;
    for (int linked : linkedChannels(m_groups.inputs[ch], ch, kMuteLink)) {
        r.inputMute[linked] = value;
        emit inputStripChanged(linked);
    }
    if (connected()) request('V', 0, 2);
}

void ControlSurface::toggleInputPriority(int ch)
{
    UnitRecord& r = record();
    const int value = r.inputPriority[ch] ? 0 : 1;
    for (int linked : linkedChannels(m_groups.inputs[ch], ch, kPriorityLink)) {
        r.inputPriority[linked] = value;
        emit inputStripChanged(linked);
    }
    if (connected()) request('M');
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

void ControlSurface::applyOutputGain(int out, int position, bool dragging)
{
    const int p = std::clamp(position, 0, kGainMax);
    UnitRecord& r = record();
    const StripGroupData& group = m_groups.outputs[out];
    const bool linked = links(group, kGainLink);
    // Moving a fader un-mutes its output before the gain is applied.
    for (int o : linkedChannels(group, out, kGainLink)) {
        r.outputMute[o] = 0;
        r.outputGain[o] = gainForFaderPosition(p);
        emit outputStripChanged(o);
    }
    if (!linked) markSelectedOutput(out);
    if (!connected()) return;
    if (dragging) {
        request('V', 0, 2, 0, true);
    } else {
        request('M');
        request('V');
    }
}

void ControlSurface::outputFaderReleased(int out, int position)
{
    applyOutputGain(out, position, false);
}

void ControlSurface::outputFaderDragged(int out, int position)
{
    applyOutputGain(out, position, true);
}

QString ControlSurface::outputTypedValue(int out, const QString& text)
{
    const int db = std::clamp(decimalField(text.toStdString()), kMinDb, kMaxDb);
    UnitRecord& r = record();
    if (r.outputMute[out]) return dbText(kMinDb);
    for (int o : linkedChannels(m_groups.outputs[out], out, kGainLink)) {
        r.outputGain[o] = dbToGain(db);
        emit outputStripChanged(o);
    }
    if (connected()) request('V');
    return dbText(db);
}

void ControlSurface::toggleOutputLevelType(int out)
{
    UnitRecord& r = record();
    r.outputLevelType[out] = r.outputLevelType[out] ? 0 : 1;
    markSelectedOutput(out);
    emit outputStripChanged(out);
    if (connected()) request('M');
}

void ControlSurface::toggleOutputMute(int out)
{
    UnitRecord& r = record();
    const int value = r.outputMute[out] ? 0 : 1;
    const StripGroupData& group = m_groups.outputs[out];
    // The stored gain stays: a muted output shows its fader at the bottom and goes out as 0.
    for (int o : linkedChannels(group, out, kMuteLink)) {
        r.outputMute[o] = value;
        emit outputStripChanged(o);
    }
    if (!links(group, kMuteLink)) markSelectedOutput(out);
    if (connected()) {
        request('M');
        request('V', 0, 2);
    }
}

bool ControlSurface::outputCurveClicked(int /*out*/, bool eqOn)
{
    if (!eqOn) {
        m_op.showMessage("Please Open the Equalizer.", "ERROR");
        return false;
    }
    return true;
}

// --- matrix
// ---------------------------------------------------------------------------------------

bool ControlSurface::crosspoint(int input, int output) const
{
    return (m_table.current().routing[output] >> input) & 1;
}

void ControlSurface::toggleCrosspoint(int input, int output)
{
    if (input < 0 || input >= kInputCount || output < 0 || output >= kOutputCount) return;
    UnitRecord& r = record();
    r.routing[output] = (r.routing[output] ^ (1 << input)) & 0xFF;
    if (connected()) request('G');
    emit matrixChanged();
}

bool ControlSurface::matrixClick(const MatrixGeometry& geometry, int x, int y, int sx, int sy)
{
    const auto cell = geometry.hitTest(x, y, sx, sy);
    if (!cell) return false;
    toggleCrosspoint(cell->input, cell->output);
    return true;
}

// --- system page
// ----------------------------------------------------------------------------------

void ControlSurface::togglePanelLock()
{
    record().panelLock = record().panelLock ? 0 : 1;
    emit systemChanged();
    if (connected()) request('M');
}

void ControlSurface::toggleDeviceMode()
{
    record().deviceMode = record().deviceMode ? 0 : 1;
    emit systemChanged();
    if (connected()) request('M');
}

void ControlSurface::toggleThresholdMode()
{
    record().thresholdMode = record().thresholdMode ? 0 : 1;
    emit systemChanged();
    if (connected()) request('M');
}

void ControlSurface::thresholdKnobReleased(int position)
{
    // In Auto mode the knob is disabled: the unit sets the threshold itself.
    if (!thresholdKnobEnabled()) return;
    record().threshold = thresholdForKnob(std::clamp(position, 0, kGainMax));
    emit systemChanged();
    if (connected()) request('V');
    m_op.showMessage("Set ok.", "INFO");
}

void ControlSurface::holdTimeKnobReleased(int position)
{
    record().holdTime = holdTimeForKnob(std::clamp(position, 0, kHoldTimeMax));
    emit systemChanged();
    if (connected()) request('G');
    m_op.showMessage("Set ok.", "INFO");
}

void ControlSurface::applyMaxOpenChannels(int listIndex)
{
    record().maxOpenChannels = maxOpenForListIndex(std::clamp(listIndex, 0, 7));
    emit systemChanged();
    if (connected()) request('G');
    m_op.showMessage("Set OK.", "Info");
}

bool ControlSurface::factoryRestore()
{
    if (!m_op.confirm("Restore Factory Settings?", "Info")) return false;
    if (m_resetDatabase)
        m_resetDatabase();
    else if (m_db)
        DeviceRegistry(*m_db).resetChannelsForFactory();
    applyFactoryValues(record());
    if (connected()) {
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
    emit refreshNeeded();
    if (m_table.english())
        m_op.showMessage("Restore Successfully.", "INFO");
    else
        m_op.showMessage(QString::fromUtf8("恢复出厂设置成功."), "INFO");
    return true;
}

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

// --- state and preset files ----------------------------------------------------------------------

bool ControlSurface::openPreset(const std::function<QString()>& choosePath)
{
    if (!connected()) {
        m_op.showMessage("Cannot connect.", "ERROR");
        return false;
    }
    const QString path = choosePath();
    if (path.isEmpty()) return false;
    if (!m_db) {
        m_op.showMessage("Open Fail", "ERROR");
        return false;
    }
    // The file dialog ran its own event loop: the link may have dropped meanwhile.
    if (!connected()) {
        m_op.showMessage("Open Fail", "ERROR");
        return false;
    }
    if (!StateFile::openPreset(path, record(), *m_db, m_op)) return false;
    reloadGroups();
    sendPresetSequence();
    emit refreshNeeded();
    m_op.showMessage("Open successfully", "INFO");
    return true;
}

bool ControlSurface::savePreset(const std::function<QString()>& choosePath)
{
    const QString path = choosePath();
    if (path.isEmpty()) return false;
    if (!writeStateFile(path)) return false;
    m_op.showMessage("Save successfully", "INFO");
    return true;
}

bool ControlSurface::writeStateFile(const QString& path)
{
    if (m_db) return StateFile::write(path, m_table.record(1), *m_db, m_op);
    // Without a database the file still keeps every setting, with no groups.
    const QByteArray bytes = StateFile::encode(m_table.record(1), GroupFileRecords{});
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        m_op.showMessage("Save Fail", "ERROR");
        return false;
    }
    return true;
}

bool ControlSurface::readStartupState(const QString& path)
{
    if (!m_db) return false;
    const bool loaded = StateFile::readStartup(path, m_table.record(1), *m_db, m_op) ==
                        StateFile::ReadResult::Loaded;
    reloadGroups();
    emit refreshNeeded();
    return loaded;
}

} // namespace sonaro
