#include "SettingWords.h"

#include "Console.h"

#include <QRegularExpression>

#include <algorithm>

namespace sonaroctl::settingWords {

using sonaro::SettingCatalogue;
using sonaro::SettingRow;
using sonaro::SettingScope;
using sonaro::ValueKind;

namespace {

// The placeholders of the numbers a scope takes, in the order they are typed.
QStringList placeholders(SettingScope scope)
{
    switch (scope) {
    case SettingScope::Unit:
        return {};
    case SettingScope::Input:
        return {QStringLiteral("CH")};
    case SettingScope::Output:
        return {QStringLiteral("OUT")};
    case SettingScope::InputBand:
        return {QStringLiteral("CH"), QStringLiteral("BAND")};
    case SettingScope::OutputBand:
        return {QStringLiteral("OUT"), QStringLiteral("BAND")};
    case SettingScope::Crosspoint:
        return {QStringLiteral("OUT"), QStringLiteral("IN")};
    }
    return {};
}

// The highest first and second number of a scope.
std::pair<int, int> highest(SettingScope scope)
{
    return SettingCatalogue::numbers(scope, SettingCatalogue::indexCount(scope) - 1);
}

QString fieldOf(const SettingRow& row)
{
    return QString::fromLatin1(row.key).section(QLatin1Char('.'), -1);
}

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

std::vector<const SettingRow*> rowsNamed(const QString& name)
{
    std::vector<const SettingRow*> rows;
    for (const SettingRow* row : settableRows())
        if (name == QLatin1String(row->cliName)) rows.push_back(row);
    return rows;
}

// A number typed for a placeholder, 1..high.
QString readNumber(const QString& text, const QString& what, int high, int& out)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    out = digits.match(text).hasMatch() ? text.toInt() : 0;
    if (out >= 1 && out <= high) return {};
    return QStringLiteral("%1 must be 1 to %2, not '%3'").arg(what).arg(high).arg(text);
}

QString readValue(const QString& text, SetRequest& request)
{
    const SettingRow& row = SettingCatalogue::row(request.id.setting);
    const QString label = SettingCatalogue::label(request.id, sonaro::Language::English);
    const SettingCatalogue::Parsed parsed = SettingCatalogue::parseText(row.id, text);
    if (!parsed.stored) return QStringLiteral("%1: %2").arg(label, parsed.problem);
    if (parsed.outOfRange)
        return QStringLiteral("%1: '%2' is outside %3").arg(label, text, valueText(row));
    request.stored = *parsed.stored;
    request.note = parsed.adjusted;
    return {};
}

QString parseKey(const QStringList& words, SetRequest& request)
{
    const auto id = SettingCatalogue::parseKey(words[0]);
    const auto rows = settableRows();
    const bool settable = id && std::any_of(rows.begin(), rows.end(), [&](const SettingRow* r) {
                              return r->id == id->setting;
                          });
    if (!settable)
        return QStringLiteral("'%1' is not the key of a setting sonaroctl can set (see 'sonaroctl "
                              "set --help')")
            .arg(escapeControls(words[0]));
    if (words.size() != 2) return QStringLiteral("set %1 takes one value").arg(words[0]);
    request.id = *id;
    request.unitNamed = words[0].startsWith(QLatin1String("unit."));
    return readValue(words[1], request);
}

// The row the field word chooses among the rows of one name.
const SettingRow* rowOfField(const std::vector<const SettingRow*>& rows, const QString& word)
{
    for (const SettingRow* row : rows)
        if (!row->cliField ||
            word.compare(QLatin1String(row->cliField), Qt::CaseInsensitive) == 0 ||
            word.compare(fieldOf(*row), Qt::CaseInsensitive) == 0)
            return row;
    return nullptr;
}

QString fieldChoices(const std::vector<const SettingRow*>& rows)
{
    QStringList fields;
    for (const SettingRow* row : rows)
        fields << QLatin1String(row->cliField);
    return fields.join(QLatin1Char('|'));
}

} // namespace

std::vector<const SettingRow*> settableRows()
{
    std::vector<const SettingRow*> rows;
    for (const SettingRow& row : SettingCatalogue::rows())
        if (row.cliName) rows.push_back(&row);
    return rows;
}

QString usage(const SettingRow& row)
{
    QStringList words{QLatin1String(row.cliName)};
    words << placeholders(row.scope);
    if (row.cliField) words << QLatin1String(row.cliField);
    return words.join(QLatin1Char(' '));
}

QString keyPattern(const SettingRow& row)
{
    const QStringList names = placeholders(row.scope);
    QString key = QString::fromLatin1(row.key);
    for (int n = 0; n < names.size(); ++n)
        key.replace(QStringLiteral("%%1").arg(n + 1), names[n]);
    return key;
}

QStringList valueWords(const SettingRow& row)
{
    QStringList words;
    switch (row.kind) {
    case ValueKind::Switch:
    case ValueKind::BandType:
        for (const char* word : row.words)
            if (word) words << QLatin1String(word);
        return words;
    case ValueKind::FilterIndex:
        words << QStringLiteral("off");
        for (int index = 1; index <= static_cast<int>(row.max); ++index)
            words << number(SettingCatalogue::shownFromStored(row.id, index));
        return words;
    case ValueKind::Ratio:
        return {QStringLiteral("inf")};
    default:
        return words;
    }
}

QString valueText(const SettingRow& row)
{
    QString unit;
    if (row.unitText[0]) unit = QLatin1Char(' ') + QLatin1String(row.unitText);
    switch (row.kind) {
    case ValueKind::Switch:
    case ValueKind::BandType:
        return valueWords(row).join(QLatin1Char('|'));
    case ValueKind::FilterIndex:
        return valueWords(row).join(QLatin1Char('|')) + unit;
    case ValueKind::Ratio:
        return QStringLiteral("1 to 10 (as N or N:1) or inf");
    default:
        break;
    }
    QString text = QStringLiteral("%1 to %2%3").arg(number(row.min), number(row.max), unit);
    if (row.step != 1) text += QStringLiteral(", in steps of %1").arg(number(row.step));
    if (row.id == sonaro::SettingId::LimiterThreshold) text += QStringLiteral(", or off");
    return text;
}

QString parse(const QStringList& words, SetRequest& request)
{
    if (words.isEmpty()) return QStringLiteral("set needs a setting (see 'sonaroctl set --help')");
    if (words[0].contains(QLatin1Char('.'))) return parseKey(words, request);
    const std::vector<const SettingRow*> rows = rowsNamed(words[0]);
    if (rows.empty())
        return QStringLiteral("unknown setting '%1' (see 'sonaroctl set --help')")
            .arg(escapeControls(words[0]));
    const SettingRow& first = *rows.front();
    const QStringList names = placeholders(first.scope);
    const qsizetype expected = 1 + names.size() + (first.cliField ? 1 : 0) + 1;
    if (words.size() != expected)
        return QStringLiteral("set %1 takes %2 VALUE").arg(words[0], usage(first).section(' ', 1));
    const auto [highFirst, highSecond] = highest(first.scope);
    int numbers[2] = {0, 0};
    for (int n = 0; n < names.size(); ++n) {
        const QString problem =
            readNumber(words[1 + n], names[n], n == 0 ? highFirst : highSecond, numbers[n]);
        if (!problem.isEmpty()) return problem;
    }
    const SettingRow* row = first.cliField ? rowOfField(rows, words[1 + names.size()]) : &first;
    if (!row)
        return QStringLiteral("set %1 changes %2, not '%3'")
            .arg(words[0], fieldChoices(rows), escapeControls(words[1 + names.size()]));
    request.id = {1, row->id, SettingCatalogue::indexOf(row->scope, numbers[0], numbers[1])};
    return readValue(words.last(), request);
}

QString help()
{
    QString text = QStringLiteral(
        "Usage: sonaroctl [OPTIONS] set SETTING [NUMBERS] [FIELD] VALUE\n"
        "       sonaroctl [OPTIONS] set KEY VALUE\n\n"
        "Changes one setting as the desktop's control or editor does: linked channels follow,\n"
        "the same permission checks apply. Logs in, waits for the unit's state, makes the change\n"
        "and waits for the unit's confirmation of every setting it changed. Exit 0 only when the\n"
        "unit confirmed them all; 1 names what it did not confirm; 2 for a refused value. A\n"
        "setting that already has the value sends nothing. Values are read as the desktop's typed\n"
        "entry reads them (1k, 2.5kHz, -6dB, 4:1, inf, 100ms); a value outside the range is\n"
        "refused, one between two steps is rounded (and said). KEY is the setting's key as\n"
        "'show --json' names it, with the numbers in place: input.3.gain, output.1.route.2.\n\n");
    text += QStringLiteral("  %1 %2 %3\n")
                .arg(QStringLiteral("SETTING"), -26)
                .arg(QStringLiteral("KEY"), -30)
                .arg(QStringLiteral("VALUE"));
    for (const SettingRow* row : settableRows())
        text += QStringLiteral("  %1 %2 %3%4\n")
                    .arg(usage(*row), -26)
                    .arg(keyPattern(*row), -30)
                    .arg(valueText(*row),
                         row->administrator ? QStringLiteral(" (administrator)") : QString());
    const auto [channels, outputs] =
        std::pair{highest(SettingScope::Input).first, highest(SettingScope::Output).first};
    text +=
        QStringLiteral("\nCH is an input 1..%1, OUT an output 1..%2, IN an input routed to OUT, "
                       "BAND an EQ band\n(1..%3 of an input, 1..%4 of an output).\n")
            .arg(channels)
            .arg(outputs)
            .arg(highest(SettingScope::InputBand).second)
            .arg(highest(SettingScope::OutputBand).second);
    return text;
}

} // namespace sonaroctl::settingWords
