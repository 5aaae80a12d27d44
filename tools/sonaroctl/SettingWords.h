#pragma once

#include "model/SettingCatalogue.h"

#include <QString>
#include <QStringList>

#include <vector>

// The words of `sonaroctl set`, read from the catalogue of settings: every row with a
// command-line name is one setting, its scope says which numbers follow the name (CH, OUT, BAND,
// IN), its field word (if any) comes next, then the value, read as the desktop's typed entry
// reads it. A catalogue key ("input.3.gain") may stand for the name, the numbers and the field.
namespace sonaroctl {

// One `set`: the setting and the stored value it takes.
struct SetRequest
{
    sonaro::ChangeId id;
    bool unitNamed = false; // the key named its unit ("unit.2.input.3.gain"); else --unit's
    double stored = 0;
    QString note; // the value was rounded to the setting's step (or read as INF:1): how
};

namespace settingWords {

// The rows `set` can change, in catalogue order.
std::vector<const sonaro::SettingRow*> settableRows();
// "eq CH BAND freq": the words before the value.
QString usage(const sonaro::SettingRow& row);
// "input.CH.eq.BAND.frequency": the row's key with the numbers' placeholders.
QString keyPattern(const sonaro::SettingRow& row);
// "-50 to 10 dB", "on|off": what the value may be.
QString valueText(const sonaro::SettingRow& row);
// The words a value may be (switch positions, band types, cut-offs); empty for numbers.
QStringList valueWords(const sonaro::SettingRow& row);
// The words after "set"; the usage error, or an empty text when request was filled.
QString parse(const QStringList& words, SetRequest& request);
// `sonaroctl set --help`.
QString help();

} // namespace settingWords
} // namespace sonaroctl
