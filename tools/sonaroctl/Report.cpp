#include "Report.h"

#include "Console.h"
#include "CtlArguments.h"

#include "model/ValueConventions.h"

#include <QJsonDocument>
#include <QStringList>

#include <cmath>

namespace sonaroctl {

using namespace sonaro;

namespace {

// Every setting of unit 1, in catalogue order.
template <typename Visit> void forEachSetting(Visit visit)
{
    for (const SettingRow& row : SettingCatalogue::rows())
        for (int index = 0; index < SettingCatalogue::indexCount(row.scope); ++index)
            visit(row, ChangeId{1, row.id, index});
}

bool keptElsewhere(const SettingRow& row)
{
    return row.kind == ValueKind::Text || row.kind == ValueKind::Table;
}

} // namespace

QJsonObject settingsJson(const UnitRecord& record, const OtherValue& other)
{
    QJsonObject settings;
    forEachSetting([&](const SettingRow& row, const ChangeId& id) {
        const QJsonValue value = keptElsewhere(row)
                                     ? (other ? other(id) : QJsonValue(QJsonValue::Undefined))
                                     : SettingCatalogue::jsonValue(record, id);
        if (!value.isUndefined()) settings.insert(SettingCatalogue::key(id), value);
    });
    return settings;
}

QString settingsText(const UnitRecord& record, const OtherValue& other)
{
    QString text;
    forEachSetting([&](const SettingRow& row, const ChangeId& id) {
        if (row.kind == ValueKind::Mask || row.kind == ValueKind::Table) return;
        QString value;
        if (row.kind != ValueKind::Text)
            value = SettingCatalogue::text(record, id);
        else if (const QJsonValue name = other ? other(id) : QJsonValue(); name.isString())
            value = escapeControls(name.toString());
        else
            return;
        text += QStringLiteral("%1 %2\n")
                    .arg(SettingCatalogue::label(id, Language::English), -40)
                    .arg(value);
    });
    return text;
}

QList<ChangeId> outOfRange(const UnitRecord& record)
{
    QList<ChangeId> bad;
    forEachSetting([&](const SettingRow& row, const ChangeId& id) {
        if (row.kind == ValueKind::Mask || keptElsewhere(row)) return;
        // The range in stored values: filter indexes, switch and band type positions are stored
        // as they are counted.
        const bool counted = row.kind == ValueKind::FilterIndex || row.kind == ValueKind::Switch ||
                             row.kind == ValueKind::BandType;
        const double low = counted ? row.min : SettingCatalogue::storedFromShown(row.id, row.min);
        const double high = counted ? row.max : SettingCatalogue::storedFromShown(row.id, row.max);
        const double stored = SettingCatalogue::storedValue(record, id);
        if (!(stored >= low && stored <= high)) bad << id; // NaN fails too
    });
    return bad;
}

QJsonArray groupTableJson(const GroupTable& table)
{
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
                links.append(QString::fromLatin1(kLinkNames[f]));
        list.append(QJsonObject{{QStringLiteral("group"), n},
                                {QStringLiteral("members"), members},
                                {QStringLiteral("links"), links}});
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

QJsonArray groupsJson(const GroupFileRecords& groups)
{
    QJsonArray list;
    for (const GroupFileRecord& g : groups) {
        if (g.groupId == 0) continue; // an unused record
        QJsonArray members;
        for (std::int32_t m : g.members)
            if (m > 0) members.append(m);
        list.append(QJsonObject{{QStringLiteral("groupId"), g.groupId},
                                {QStringLiteral("members"), members}});
    }
    return list;
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
    return {{QStringLiteral("inputs"), inputs},
            {QStringLiteral("outputs"), outputs},
            {QStringLiteral("open"), open}};
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

QString jsonLine(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString jsonArrayLine(const QJsonArray& array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

} // namespace sonaroctl
