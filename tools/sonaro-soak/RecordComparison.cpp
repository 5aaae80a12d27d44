#include "RecordComparison.h"

#include "model/SettingCatalogue.h"

namespace sonaro {

std::vector<std::string> differingFields(const UnitRecord& p, const UnitRecord& u)
{
    std::vector<std::string> differing;
    for (const SettingRow& row : SettingCatalogue::rows()) {
        if (row.frame != 'V' && row.frame != 'M' && row.frame != 'G' && row.frame != 'E' &&
            row.frame != 'B')
            continue;
        for (int i = 0; i < SettingCatalogue::indexCount(row.scope); ++i)
            if (row.wire(p, i) != row.wire(u, i))
                differing.push_back(SettingCatalogue::key({1, row.id, i}).toStdString());
    }
    return differing;
}

} // namespace sonaro
