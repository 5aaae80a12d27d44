#include "mixer/OfflineChangesFile.h"

#include "model/SavedFile.h"

#include <QFile>

namespace sonaro {

namespace {
// A few hundred changes at most; anything longer is not ours.
constexpr qint64 kMaxBytes = 64 * 1024;
} // namespace

QString OfflineChangesFile::write(const QList<ChangeId>& changes) const
{
    if (changes.isEmpty()) {
        if (QFile::exists(m_path) && !QFile::remove(m_path))
            return QStringLiteral("%1 cannot be removed").arg(m_path);
        return {};
    }
    QByteArray text("# Settings changed without a unit; they wait for the next login.\n");
    for (const ChangeId& id : changes) {
        ChangeId own = id;
        own.unit = 1;
        text += QByteArray::number(id.unit) + ' ' + SettingCatalogue::key(own).toUtf8() + '\n';
    }
    return saveWholeFile(m_path, text);
}

QList<ChangeId> OfflineChangesFile::read(QStringList* unknown) const
{
    QList<ChangeId> changes;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) return changes;
    for (const QByteArray& raw : file.read(kMaxBytes).split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        const qsizetype space = line.indexOf(' ');
        bool ok = false;
        const int unit = space > 0 ? line.left(space).toInt(&ok) : 0;
        std::optional<ChangeId> id =
            ok && UnitTable::isValidUnit(unit)
                ? SettingCatalogue::parseKey(QString::fromUtf8(line.mid(space + 1)).trimmed())
                : std::nullopt;
        if (!id || id->unit != 1) {
            if (unknown) *unknown << QString::fromUtf8(line).left(80);
            continue;
        }
        id->unit = unit;
        if (!changes.contains(*id)) changes << *id;
    }
    return changes;
}

} // namespace sonaro
