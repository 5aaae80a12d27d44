#include "StateReport.h"

#include "TextEscape.h"

#include "dsp/DynamicsModel.h"
#include "dsp/EqModel.h"
#include "model/ValueConventions.h"

#include <QStringList>

#include <cmath>
#include <utility>

namespace sonaroctl {

using namespace sonaro;

namespace {

// A file may carry anything in its doubles; JSON has no NaN or infinity.
QJsonValue jsonNumber(double value)
{
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue();
}

QString decimalText(double value, int decimals = 1)
{
    return std::isfinite(value) ? QString::number(value, 'f', decimals) : QStringLiteral("?");
}

QString onOff(int value)
{
    return value ? QStringLiteral("on") : QStringLiteral("off");
}

QJsonObject bandJson(double frequency, double gain, double q, int type)
{
    QJsonObject band;
    band.insert(QStringLiteral("frequency"), jsonNumber(frequency));
    band.insert(QStringLiteral("gainDb"), jsonNumber(gain));
    band.insert(QStringLiteral("q"), jsonNumber(q));
    band.insert(QStringLiteral("type"), type);
    return band;
}

QString bandText(double frequency, double gain, double q, int type)
{
    return QStringLiteral("%1Hz/%2dB/Q%3/t%4")
        .arg(decimalText(frequency, 0), decimalText(gain), decimalText(q))
        .arg(type);
}

QJsonArray routedInputs(const UnitRecord& r, int output)
{
    QJsonArray inputs;
    for (int ch = 0; ch < kInputCount; ++ch)
        if ((r.routing[output] >> ch) & 1) inputs.append(ch + 1);
    return inputs;
}

} // namespace

QJsonObject recordJson(const UnitRecord& r)
{
    QJsonArray inputs;
    for (int ch = 0; ch < kInputCount; ++ch) {
        QJsonObject in;
        in.insert(QStringLiteral("channel"), ch + 1);
        in.insert(QStringLiteral("gainDb"), gainToDb(r.inputGain[ch]));
        in.insert(QStringLiteral("mute"), r.inputMute[ch] != 0);
        in.insert(QStringLiteral("source"), QString::fromLatin1(inputSourceLabel(r.inputLine[ch])));
        in.insert(QStringLiteral("phantom"), r.inputPhantom[ch] != 0);
        in.insert(QStringLiteral("priority"), r.inputPriority[ch] != 0);
        in.insert(QStringLiteral("lowCut"), r.inputLowCut[ch] != 0);
        in.insert(QStringLiteral("feedback"), r.feedback[ch] != 0);
        in.insert(QStringLiteral("highPass"), r.highPassIndex[ch]);
        in.insert(QStringLiteral("lowPass"), r.lowPassIndex[ch]);
        in.insert(QStringLiteral("highPassHz"),
                  r.highPassIndex[ch] > 0 && r.highPassIndex[ch] < kFilterIndexCount
                      ? QJsonValue(highPassFrequency(r.highPassIndex[ch]))
                      : QJsonValue());
        in.insert(QStringLiteral("lowPassHz"),
                  r.lowPassIndex[ch] > 0 && r.lowPassIndex[ch] < kFilterIndexCount
                      ? QJsonValue(lowPassFrequency(r.lowPassIndex[ch]))
                      : QJsonValue());
        in.insert(QStringLiteral("open"), r.inputOpen[ch] != 0);
        in.insert(QStringLiteral("level"), r.inputLevel[ch]);
        QJsonArray eq;
        for (int b = 0; b < kInputEqBands; ++b)
            eq.append(bandJson(r.inputEqAt(b, kEqFrequency, ch), r.inputEqAt(b, kEqGain, ch),
                               r.inputEqAt(b, kEqQ, ch), r.inputEqType[b][ch]));
        in.insert(QStringLiteral("eq"), eq);
        inputs.append(in);
    }
    QJsonArray outputs;
    for (int out = 0; out < kOutputCount; ++out) {
        QJsonObject o;
        o.insert(QStringLiteral("output"), out + 1);
        o.insert(QStringLiteral("gainDb"), gainToDb(r.outputGain[out]));
        o.insert(QStringLiteral("mute"), r.outputMute[out] != 0);
        o.insert(QStringLiteral("levelType"),
                 QString::fromLatin1(outputLevelLabel(r.outputLevelType[out])));
        o.insert(QStringLiteral("level"), r.outputLevel[out]);
        o.insert(QStringLiteral("inputs"), routedInputs(r, out));
        QJsonObject limiter;
        limiter.insert(QStringLiteral("enabled"), r.limiterEnable[out] != 0);
        limiter.insert(QStringLiteral("ratio"), jsonNumber(r.limiterRatio[out]));
        limiter.insert(QStringLiteral("thresholdDb"), jsonNumber(r.limiterThreshold[out]));
        limiter.insert(QStringLiteral("attackMs"), r.limiterAttack[out]);
        limiter.insert(QStringLiteral("releaseMs"), r.limiterRelease[out]);
        o.insert(QStringLiteral("limiter"), limiter);
        QJsonArray eq;
        for (int b = 0; b < kOutputEqBands; ++b)
            eq.append(bandJson(r.outputEqAt(out, kEqFrequency, b), r.outputEqAt(out, kEqGain, b),
                               r.outputEqAt(out, kEqQ, b), r.outputEqType[out][b]));
        o.insert(QStringLiteral("eq"), eq);
        outputs.append(o);
    }
    QJsonObject system;
    system.insert(QStringLiteral("thresholdMode"),
                  r.thresholdMode ? QStringLiteral("Manual") : QStringLiteral("Auto"));
    system.insert(QStringLiteral("threshold"), r.threshold);
    system.insert(QStringLiteral("holdTime"), r.holdTime);
    system.insert(QStringLiteral("maxOpenChannels"), r.maxOpenChannels);
    system.insert(QStringLiteral("deviceMode"),
                  r.deviceMode ? QStringLiteral("master") : QStringLiteral("slave"));
    system.insert(QStringLiteral("panelLock"), r.panelLock != 0);
    system.insert(QStringLiteral("thresholdDb"), gainToDb(r.threshold));

    QJsonObject state;
    state.insert(QStringLiteral("schemaVersion"), kSchemaVersion);
    state.insert(QStringLiteral("unit"), r.unitNumber);
    state.insert(QStringLiteral("adminName"), QString::fromStdString(accountText(r.adminName)));
    state.insert(QStringLiteral("userName"), QString::fromStdString(accountText(r.userName)));
    state.insert(QStringLiteral("inputs"), inputs);
    state.insert(QStringLiteral("outputs"), outputs);
    state.insert(QStringLiteral("system"), system);
    return state;
}

QString recordText(const UnitRecord& r)
{
    QStringList lines;
    lines << QStringLiteral("Input  gain    mute  source  phantom  priority  open  level");
    for (int ch = 0; ch < kInputCount; ++ch)
        lines << QStringLiteral("%1      %2  %3   %4    %5      %6       %7   %8")
                     .arg(ch + 1)
                     .arg(QString::fromStdString(gainText(r.inputGain[ch])), 6)
                     .arg(onOff(r.inputMute[ch]), -3)
                     .arg(QString::fromLatin1(inputSourceLabel(r.inputLine[ch])), -4)
                     .arg(onOff(r.inputPhantom[ch]), -3)
                     .arg(onOff(r.inputPriority[ch]), -3)
                     .arg(r.inputOpen[ch] ? QStringLiteral("yes") : QStringLiteral("no "))
                     .arg(r.inputLevel[ch]);
    lines << QString();
    lines << QStringLiteral("Output gain    mute  level  routed inputs");
    for (int out = 0; out < kOutputCount; ++out) {
        QStringList routed;
        for (const QJsonValue& v : routedInputs(r, out))
            routed << QString::number(v.toInt());
        lines << QStringLiteral("%1      %2  %3   %4   %5")
                     .arg(out + 1)
                     .arg(QString::fromStdString(gainText(r.outputGain[out])), 6)
                     .arg(onOff(r.outputMute[out]), -3)
                     .arg(QString::fromLatin1(outputLevelLabel(r.outputLevelType[out])), -4)
                     .arg(routed.isEmpty() ? QStringLiteral("-") : routed.join(' '));
    }
    lines << QString();
    lines << QStringLiteral("System: threshold mode %1, threshold %2, hold time %3, max open "
                            "channels %4, device mode %5, panel lock %6")
                 .arg(r.thresholdMode ? QStringLiteral("Manual") : QStringLiteral("Auto"))
                 .arg(r.threshold)
                 .arg(r.holdTime)
                 .arg(r.maxOpenChannels)
                 .arg(r.deviceMode ? QStringLiteral("master") : QStringLiteral("slave"))
                 .arg(onOff(r.panelLock));
    lines << QString();
    lines << QStringLiteral("Limiters:");
    for (int out = 0; out < kOutputCount; ++out)
        lines << QStringLiteral("  output %1: %2, ratio %3:1, threshold %4dB, attack %5ms, "
                                "release %6ms")
                     .arg(out + 1)
                     .arg(onOff(r.limiterEnable[out]))
                     .arg(decimalText(r.limiterRatio[out]), decimalText(r.limiterThreshold[out]))
                     .arg(r.limiterAttack[out])
                     .arg(r.limiterRelease[out]);
    lines << QStringLiteral("Input EQ (frequency/gain/Q/type per band), low cut, high/low pass:");
    for (int ch = 0; ch < kInputCount; ++ch) {
        QStringList bands;
        for (int b = 0; b < kInputEqBands; ++b)
            bands << bandText(r.inputEqAt(b, kEqFrequency, ch), r.inputEqAt(b, kEqGain, ch),
                              r.inputEqAt(b, kEqQ, ch), r.inputEqType[b][ch]);
        lines << QStringLiteral("  input %1: %2  low cut %3, HP %4, LP %5")
                     .arg(ch + 1)
                     .arg(bands.join(' '), onOff(r.inputLowCut[ch]))
                     .arg(r.highPassIndex[ch])
                     .arg(r.lowPassIndex[ch]);
    }
    lines << QStringLiteral("Output EQ:");
    for (int out = 0; out < kOutputCount; ++out) {
        QStringList bands;
        for (int b = 0; b < kOutputEqBands; ++b)
            bands << bandText(r.outputEqAt(out, kEqFrequency, b), r.outputEqAt(out, kEqGain, b),
                              r.outputEqAt(out, kEqQ, b), r.outputEqType[out][b]);
        lines << QStringLiteral("  output %1: %2").arg(out + 1).arg(bands.join(' '));
    }
    return lines.join('\n') + QLatin1Char('\n');
}

void addNames(QJsonObject& state, const ChannelNames& names)
{
    for (const auto& [key, list] : {std::pair{QStringLiteral("inputs"), &names.inputs},
                                    std::pair{QStringLiteral("outputs"), &names.outputs}}) {
        QJsonArray channels = state.value(key).toArray();
        for (qsizetype i = 0; i < channels.size() && i < list->size(); ++i) {
            QJsonObject channel = channels[i].toObject();
            channel.insert(QStringLiteral("name"), list->at(i));
            channels[i] = channel;
        }
        state.insert(key, channels);
    }
}

QString namesText(const ChannelNames& names)
{
    QStringList in;
    for (qsizetype i = 0; i < names.inputs.size(); ++i)
        in << QStringLiteral("%1 %2").arg(i + 1).arg(escapeControls(names.inputs[i]));
    QStringList out;
    for (qsizetype i = 0; i < names.outputs.size(); ++i)
        out << QStringLiteral("%1 %2").arg(i + 1).arg(escapeControls(names.outputs[i]));
    return QStringLiteral("Names: inputs %1; outputs %2\n")
        .arg(in.join(QStringLiteral(", ")), out.join(QStringLiteral(", ")));
}

namespace {

void flatten(const QJsonValue& value, const QString& path, QMap<QString, QJsonValue>& out)
{
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.key() == QLatin1String("level") || it.key() == QLatin1String("open")) continue;
            flatten(it.value(), path.isEmpty() ? it.key() : path + QLatin1Char('.') + it.key(),
                    out);
        }
    } else if (value.isArray()) {
        const QJsonArray array = value.toArray();
        // Lists of numbers (the routed inputs) are one field; lists of objects are walked.
        if (array.isEmpty() || !array.first().isObject()) {
            out.insert(path, value);
            return;
        }
        for (qsizetype i = 0; i < array.size(); ++i)
            flatten(array[i], QStringLiteral("%1[%2]").arg(path).arg(i + 1), out);
    } else {
        out.insert(path, value);
    }
}

} // namespace

QMap<QString, QJsonValue> flatState(const QJsonObject& state)
{
    QMap<QString, QJsonValue> out;
    flatten(state, QString(), out);
    return out;
}

QStringList outOfRange(const UnitRecord& r)
{
    QStringList bad;
    auto check = [&bad](const QString& what, double value, double low, double high) {
        if (!(value >= low && value <= high)) // NaN fails too
            bad << QStringLiteral("%1 (%2)").arg(what).arg(value);
    };
    auto checkBand = [&](const QString& where, double f, double g, double q, int type) {
        check(where + QStringLiteral(" frequency"), f, kEqMinFrequency, kEqMaxFrequency);
        check(where + QStringLiteral(" gain"), g, kEqMinGain, kEqMaxGain);
        check(where + QStringLiteral(" Q"), q, kEqMinQ, kEqMaxQ);
        check(where + QStringLiteral(" type"), type, 0, 2);
    };
    for (int ch = 0; ch < kInputCount; ++ch) {
        const QString in = QStringLiteral("input %1").arg(ch + 1);
        check(in + QStringLiteral(" gain"), r.inputGain[ch], 0, kGainMax);
        check(in + QStringLiteral(" high pass"), r.highPassIndex[ch], 0, kFilterIndexCount - 1);
        check(in + QStringLiteral(" low pass"), r.lowPassIndex[ch], 0, kFilterIndexCount - 1);
        for (int b = 0; b < kInputEqBands; ++b)
            checkBand(in + QStringLiteral(" EQ band %1").arg(b + 1),
                      r.inputEqAt(b, kEqFrequency, ch), r.inputEqAt(b, kEqGain, ch),
                      r.inputEqAt(b, kEqQ, ch), r.inputEqType[b][ch]);
    }
    for (int out = 0; out < kOutputCount; ++out) {
        const QString o = QStringLiteral("output %1").arg(out + 1);
        check(o + QStringLiteral(" gain"), r.outputGain[out], 0, kGainMax);
        check(o + QStringLiteral(" limiter ratio"), r.limiterRatio[out], 1, kRatioInfinite);
        check(o + QStringLiteral(" limiter threshold"), r.limiterThreshold[out], kThresholdMin,
              kThresholdOff);
        check(o + QStringLiteral(" limiter attack"), r.limiterAttack[out], 1, 2000);
        check(o + QStringLiteral(" limiter release"), r.limiterRelease[out], 10, 5000);
        for (int b = 0; b < kOutputEqBands; ++b)
            checkBand(o + QStringLiteral(" EQ band %1").arg(b + 1),
                      r.outputEqAt(out, kEqFrequency, b), r.outputEqAt(out, kEqGain, b),
                      r.outputEqAt(out, kEqQ, b), r.outputEqType[out][b]);
    }
    check(QStringLiteral("threshold"), r.threshold, 0, kGainMax);
    check(QStringLiteral("hold time"), r.holdTime, 0, kHoldTimeMax);
    check(QStringLiteral("max open channels"), r.maxOpenChannels, 1, kMaxOpenChannelsMax);
    return bad;
}

QJsonArray groupsJson(const GroupFileRecords& groups)
{
    QJsonArray list;
    for (const GroupFileRecord& g : groups) {
        if (g.groupId == 0) continue; // an unused record
        QJsonArray members;
        for (std::int32_t m : g.members)
            if (m > 0) members.append(m);
        QJsonObject group;
        group.insert(QStringLiteral("groupId"), g.groupId);
        group.insert(QStringLiteral("members"), members);
        list.append(group);
    }
    return list;
}

QString groupsText(const GroupFileRecords& groups)
{
    QStringList lines;
    for (const QJsonValue& v : groupsJson(groups)) {
        const QJsonObject g = v.toObject();
        QStringList members;
        for (const QJsonValue& m : g.value(QStringLiteral("members")).toArray())
            members << QString::number(m.toInt());
        lines << QStringLiteral("  group %1: %2")
                     .arg(g.value(QStringLiteral("groupId")).toInt())
                     .arg(members.isEmpty() ? QStringLiteral("-") : members.join(' '));
    }
    if (lines.isEmpty()) lines << QStringLiteral("  none");
    return QStringLiteral("Groups (channel serial ids):\n") + lines.join('\n') + QLatin1Char('\n');
}

QJsonArray groupTableJson(const GroupTable& table)
{
    static const char* const names[kLinkFlagCount] = {"gain", "mute",    "priority",
                                                      "eq",   "limiter", "phantom"};
    QJsonArray list;
    for (int n = 1; n <= GroupTable::kSlots; ++n) {
        const GroupSlot& slot = table.slot(n);
        QJsonArray members;
        for (int serial = 1; serial <= kGroupChannels; ++serial) {
            if (!slot.members[static_cast<std::size_t>(serial - 1)]) continue;
            if (serial <= kGroupInputChannels)
                members.append(serial);
            else
                members.append(QStringLiteral("out%1").arg(serial - kGroupInputChannels));
        }
        QJsonArray links;
        for (int f = 0; f < kLinkFlagCount; ++f)
            if (slot.flags[static_cast<std::size_t>(f)])
                links.append(QString::fromLatin1(names[f]));
        QJsonObject group;
        group.insert(QStringLiteral("group"), n);
        group.insert(QStringLiteral("members"), members);
        group.insert(QStringLiteral("links"), links);
        list.append(group);
    }
    return list;
}

QString groupTableText(const GroupTable& table)
{
    QStringList lines;
    for (const QJsonValue& v : groupTableJson(table)) {
        const QJsonObject g = v.toObject();
        QStringList members;
        for (const QJsonValue& m : g.value(QStringLiteral("members")).toArray())
            members << (m.isString() ? m.toString() : QString::number(m.toInt()));
        QStringList links;
        for (const QJsonValue& l : g.value(QStringLiteral("links")).toArray())
            links << l.toString();
        lines << QStringLiteral("group %1: %2; links %3")
                     .arg(g.value(QStringLiteral("group")).toInt())
                     .arg(members.isEmpty() ? QStringLiteral("-") : members.join(QLatin1Char(',')),
                          links.isEmpty() ? QStringLiteral("none") : links.join(QLatin1Char(',')));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QJsonObject levelsJson(const UnitRecord& r)
{
    QJsonArray inputs;
    QJsonArray open;
    for (int ch = 0; ch < kInputCount; ++ch) {
        inputs.append(r.inputLevel[ch]);
        open.append(r.inputOpen[ch] != 0);
    }
    QJsonArray outputs;
    for (int out = 0; out < kOutputCount; ++out)
        outputs.append(r.outputLevel[out]);
    QJsonObject line;
    line.insert(QStringLiteral("inputs"), inputs);
    line.insert(QStringLiteral("outputs"), outputs);
    line.insert(QStringLiteral("open"), open);
    return line;
}

QString levelsText(const UnitRecord& r)
{
    QStringList in;
    QString open;
    for (int ch = 0; ch < kInputCount; ++ch) {
        in << QStringLiteral("%1").arg(r.inputLevel[ch], 3);
        open += r.inputOpen[ch] ? QLatin1Char('1' + ch) : QLatin1Char('.');
    }
    return QStringLiteral("in %1  out %2 %3  open %4")
        .arg(in.join(' '))
        .arg(r.outputLevel[0], 3)
        .arg(r.outputLevel[1], 3)
        .arg(open);
}

} // namespace sonaroctl
