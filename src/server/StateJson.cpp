#include "server/StateJson.h"

#include "dsp/EqCurves.h"
#include "dsp/EqModel.h"
#include "server/ServerBackend.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace sonaro::server {

namespace {

const char* kindName(ValueKind kind)
{
    switch (kind) {
    case ValueKind::Level:
        return "level";
    case ValueKind::Switch:
        return "switch";
    case ValueKind::Frequency:
        return "frequency";
    case ValueKind::Decibel:
        return "decibel";
    case ValueKind::Quality:
        return "q";
    case ValueKind::BandType:
        return "bandType";
    case ValueKind::FilterIndex:
        return "filter";
    case ValueKind::Milliseconds:
        return "milliseconds";
    case ValueKind::Ratio:
        return "ratio";
    case ValueKind::Count:
        return "count";
    case ValueKind::HoldTime:
        return "holdTime";
    case ValueKind::Mask:
        return "mask";
    case ValueKind::Text:
        return "text";
    case ValueKind::Table:
        return "table";
    }
    return "";
}

const char* scopeName(SettingScope scope)
{
    switch (scope) {
    case SettingScope::Unit:
        return "unit";
    case SettingScope::Input:
        return "input";
    case SettingScope::Output:
        return "output";
    case SettingScope::InputBand:
        return "inputBand";
    case SettingScope::OutputBand:
        return "outputBand";
    case SettingScope::Crosspoint:
        return "crosspoint";
    }
    return "";
}

double rounded(double value, double scale)
{
    return std::round(value * scale) / scale;
}

QJsonArray curveArray(const ResponseCurve& curve)
{
    QJsonArray out;
    for (double v : curve)
        out.append(rounded(std::clamp(v, -60.0, 60.0), 100));
    return out;
}

template <std::size_t N> QJsonArray handles(const std::array<EqBand, N>& bands)
{
    QJsonArray out;
    for (const EqBand& b : bands)
        out.append(
            QJsonObject{{"frequency", b.frequency}, {"level", rounded(bandHandleLevel(b), 100)}});
    return out;
}

} // namespace

bool StateJson::shown(const SettingRow& row)
{
    return row.kind != ValueKind::Mask && row.kind != ValueKind::Table;
}

bool StateJson::settable(const SettingRow& row)
{
    return shown(row) && row.control;
}

QJsonValue StateJson::value(const ServerBackend& backend, const ChangeId& id)
{
    if (SettingCatalogue::row(id.setting).kind == ValueKind::Text) return backend.channelName(id);
    return SettingCatalogue::jsonValue(backend.record(id.unit), id);
}

QJsonObject StateJson::settings(const ServerBackend& backend)
{
    QJsonObject out;
    for (int unit = 1; unit <= backend.unitCount(); ++unit) {
        for (const SettingRow& row : SettingCatalogue::rows()) {
            if (!shown(row)) continue;
            for (int i = 0; i < SettingCatalogue::indexCount(row.scope); ++i) {
                const ChangeId id{unit, row.id, i};
                out.insert(SettingCatalogue::key(id), value(backend, id));
            }
        }
    }
    return out;
}

QJsonObject StateJson::state(const ServerBackend& backend)
{
    return QJsonObject{{"schemaVersion", kSchemaVersion},
                       {"units", backend.unitCount()},
                       {"link", backend.linkState()},
                       {"settings", settings(backend)},
                       {"levels", levels(backend.record(1))}};
}

double StateJson::meterShare(int level)
{
    // The unit reports 80 (silence) to 191 (full scale); the desktop's meters show the same span.
    constexpr int kSilent = 80;
    constexpr int kFull = 191;
    return rounded(double(std::clamp(level, kSilent, kFull) - kSilent) / (kFull - kSilent), 1000);
}

QJsonObject StateJson::levels(const UnitRecord& record)
{
    const bool live = record.connected != 0;
    QJsonArray inputs, outputs, open, rawInputs, rawOutputs;
    for (int i = 0; i < kInputCount; ++i) {
        inputs.append(live ? meterShare(record.inputLevel[i]) : 0.0);
        rawInputs.append(record.inputLevel[i]);
        open.append(live && record.inputOpen[i] != 0);
    }
    for (int o = 0; o < kOutputCount; ++o) {
        outputs.append(live ? meterShare(record.outputLevel[o]) : 0.0);
        rawOutputs.append(record.outputLevel[o]);
    }
    return QJsonObject{{"live", live},
                       {"inputs", inputs},
                       {"outputs", outputs},
                       {"open", open},
                       {"raw", QJsonObject{{"inputs", rawInputs}, {"outputs", rawOutputs}}}};
}

QJsonArray StateJson::catalogue()
{
    QJsonArray out;
    for (const SettingRow& row : SettingCatalogue::rows()) {
        if (!shown(row)) continue;
        QJsonObject o{{"key", QString::fromLatin1(row.key)},
                      {"scope", QLatin1String(scopeName(row.scope))},
                      {"count", SettingCatalogue::indexCount(row.scope)},
                      {"label", QJsonObject{{"en", QString::fromUtf8(row.labelEn)},
                                            {"zh", QString::fromUtf8(row.labelZh)}}},
                      {"name", QJsonObject{{"en", QString::fromUtf8(row.nameEn)},
                                           {"zh", QString::fromUtf8(row.nameZh)}}},
                      {"kind", QLatin1String(kindName(row.kind))},
                      {"unit", QString::fromLatin1(row.unitText)},
                      {"min", row.min},
                      {"max", row.max},
                      {"step", row.step},
                      {"administrator", row.administrator},
                      {"settable", settable(row)}};
        QJsonArray words;
        for (const char* word : row.words)
            if (word) words.append(QString::fromLatin1(word));
        if (!words.isEmpty()) o.insert("words", words);
        if (row.kind == ValueKind::FilterIndex) {
            QJsonArray choices{QStringLiteral("off")};
            for (int i = 1; i < kFilterIndexCount; ++i)
                choices.append(SettingCatalogue::shownFromStored(row.id, i));
            o.insert("choices", choices);
        }
        out.append(o);
    }
    return out;
}

std::optional<QJsonObject> StateJson::eqCurve(const ServerBackend& backend, const QString& channel)
{
    static const QRegularExpression form(
        QStringLiteral("^(?:unit\\.([0-9]{1,2})\\.)?(input|output)\\.([0-9]{1,2})$"));
    const auto match = form.match(channel);
    if (!match.hasMatch()) return std::nullopt;
    const int unit = match.captured(1).isEmpty() ? 1 : match.captured(1).toInt();
    const bool input = match.captured(2) == QLatin1String("input");
    const int number = match.captured(3).toInt();
    if (unit < 1 || unit > backend.unitCount() || number < 1 ||
        number > (input ? kInputCount : kOutputCount))
        return std::nullopt;
    const UnitRecord& record = backend.record(unit);
    QJsonArray frequencies;
    for (double f : ResponseGrid)
        frequencies.append(f);
    QJsonObject out{{"channel", channel}, {"frequencies", frequencies}};
    if (input) {
        const auto bands = inputEqBands(record, number - 1);
        InputCurves curves;
        computeInputCurves(bands, record.highPassIndex[number - 1], record.lowPassIndex[number - 1],
                           curves);
        out.insert("levels", curveArray(curves.total));
        out.insert("bands", handles(bands));
    } else {
        const auto bands = outputEqBands(record, number - 1);
        ResponseCurve curve;
        outputChannelCurve(bands, curve);
        out.insert("levels", curveArray(curve));
        out.insert("bands", handles(bands));
    }
    return out;
}

} // namespace sonaro::server
