#pragma once

#include "model/SettingCatalogue.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace sonaro {

// offline.ini beside data.ini: the changes made without a unit, by name, so that they outlive a
// restart (their values are in data.ini). One line per change, "<unit> <key>" with the
// catalogue's key ("1 input.3.gain", "1 groups"); lines starting with "#" are comments. The file
// goes away when nothing waits.
class OfflineChangesFile
{
public:
    explicit OfflineChangesFile(QString path) : m_path(std::move(path)) {}

    // Writes the changes whole, or removes the file when there are none. Empty when it worked,
    // otherwise the reason.
    QString write(const QList<ChangeId>& changes) const;
    // The changes the file names; lines that name nothing this version knows go to unknown.
    QList<ChangeId> read(QStringList* unknown = nullptr) const;

private:
    QString m_path;
};

} // namespace sonaro
