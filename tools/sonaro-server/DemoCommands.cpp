#include "DemoCommands.h"

#include "model/SettingCatalogue.h"
#include "unit/UnitFrames.h"
#include "unit/VirtualUnit.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

using namespace sonaro;

namespace {

// The report a unit sends when a setting carried by frame changed at its panel.
std::string reportOf(VirtualUnit& unit, const ChangeId& id)
{
    const int number = id.unit;
    const int index = SettingCatalogue::frameIndex(id.setting, id.index);
    switch (SettingCatalogue::row(id.setting).frame) {
    case 'V':
        return buildReplyO(unit.record(), number);
    case 'M':
        return buildReplyD(unit.record(), number);
    case 'E':
        return buildReplyA(unit.record(), number, index);
    case 'B':
        return buildReplyU(unit.record(), number, index);
    default:
        return buildReplyS(unit.record(), number, unit.linkTable());
    }
}

void panel(VirtualUnit& unit, const QByteArray& key, const QByteArray& value)
{
    const auto id = SettingCatalogue::parseKey(QString::fromUtf8(key));
    if (!id || SettingCatalogue::row(id->setting).frame == 0) {
        std::fprintf(stderr, "demo unit: no setting %s\n", key.constData());
        return;
    }
    const QJsonValue json = QJsonDocument::fromJson("[" + value + "]").array().at(0);
    const auto parsed = SettingCatalogue::parseJson(id->setting, json);
    if (!parsed.stored) {
        std::fprintf(stderr, "demo unit: %s\n", qPrintable(parsed.problem));
        return;
    }
    SettingCatalogue::row(id->setting).set(unit.record(), id->index, *parsed.stored);
    unit.sendToClient(reportOf(unit, *id));
}

void run(VirtualUnit& unit, const QByteArray& line)
{
    const QList<QByteArray> words = line.simplified().split(' ');
    if (words.size() == 3 && words[0] == "panel")
        panel(unit, words[1], words[2]);
    else if (words.size() == 3 && words[0] == "drop" && words[1].size() == 1)
        unit.dropNext(words[1][0], words[2].toInt());
    else if (!line.trimmed().isEmpty())
        std::fprintf(stderr, "demo unit: unknown command %s\n", line.constData());
}

} // namespace

void playDemoCommands(VirtualUnit& unit)
{
    auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &unit);
    auto pending = std::make_shared<QByteArray>();
    QObject::connect(input, &QSocketNotifier::activated, &unit, [&unit, input, pending] {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof(buffer));
        if (got <= 0) {
            input->setEnabled(false);
            return;
        }
        pending->append(buffer, got);
        for (qsizetype end = pending->indexOf('\n'); end >= 0; end = pending->indexOf('\n')) {
            run(unit, pending->left(end));
            pending->remove(0, end + 1);
        }
    });
}
