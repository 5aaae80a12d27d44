// sonaro-fuzz-corpus DIRECTORY: writes the seed corpora of the fuzz targets (tests/fuzz/corpus):
// the unit's frames of every kind as the virtual unit lays them out, a factory state file and a
// few address texts and search patterns.
#include "mixer/StateFile.h"
#include "model/UnitRecord.h"
#include "protocol/FrameCodec.h"
#include "unit/UnitFrames.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <string>
#include <vector>

using namespace sonaro;

namespace {

bool Put(const QString& dir, const QString& name, const std::string& bytes)
{
    QDir().mkpath(dir);
    QFile file(QDir(dir).filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
           static_cast<qint64>(bytes.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    bool ok = true;

    UnitRecord r = zeroRecord();
    applyFactoryValues(r);
    r.inputGain[2] = 33;
    r.outputMute[1] = 1;
    r.inputEq[1][kEqGain][4] = -6.5;
    LinkTable links;
    links.group[3] = 2;
    links.flags[3] = 0x11;

    // Flag byte: 1 checksum fix-up, 2 connected, 4 address change in progress.
    const std::vector<std::pair<QString, std::string>> frames = {
        {"r-accepted", buildReplyR(true, 2)},
        {"r-refused", buildReplyR(false, 0)},
        {"l", buildReplyL({10, 20, 30, 40, 50, 60, 70, 80, 90, 100}, 0x5A)},
        {"z", buildReplyZ(1, 3)},
        {"a-input", buildReplyA(r, 1, 4)},
        {"a-output", buildReplyA(r, 1, 12)},
        {"p", buildReplyP(1, "192.168.1.10", 5000, "admin", "user")},
        {"k", buildReplyK(1, 0x12)},
        {"u", buildReplyU(r, 1, 1)},
        {"q", buildReplyQ(1, 3)},
        {"h", buildReplyH(1, 1)},
        {"y", buildReplyY(1, "admin", "pw")},
        {"o", buildReplyO(r, 1)},
        {"s", buildReplyS(r, 1, links)},
        {"n", buildReplyN(1, links)},
        {"d", buildReplyD(r, 1)},
    };
    const QString dispatcher = root + QStringLiteral("/dispatcher");
    for (const auto& [name, frame] : frames) {
        ok &= Put(dispatcher, name, std::string("\x06", 1) + frame);
        ok &= Put(dispatcher, name + QStringLiteral("-fixup"), std::string("\x07", 1) + frame);
    }
    // A login followed by the status stream and a state report.
    ok &= Put(dispatcher, QStringLiteral("sequence"),
              std::string("\x03", 1) + buildReplyR(true, 1) + "\n" + frames[2].second + "\n" +
                  frames[13].second + "\n" + frames[15].second);

    const QByteArray state = StateFile::encode(r, GroupFileRecords{{{2, {1, 2, 0, 0, 0, 0, 0, 0}},
                                                                    {3, {3, 0, 0, 0, 0, 0, 0, 0}},
                                                                    {4, {}},
                                                                    {5, {}},
                                                                    {6, {}}}});
    ok &= Put(root + QStringLiteral("/state_file"), QStringLiteral("factory"), state.toStdString());
    ok &= Put(root + QStringLiteral("/state_file"), QStringLiteral("short"),
              state.left(100).toStdString());

    const QString address = root + QStringLiteral("/address_file");
    ok &= Put(address, QStringLiteral("normalise"), std::string(1, '\0') + "192.168.001.010");
    ok &=
        Put(address, QStringLiteral("normalise-odd"), std::string(1, '\0') + "-1..99999999999.+7 ");
    ok &= Put(address, QStringLiteral("ini"),
              "\x01[device]\nip=192.168.000.188\nhost=5000\nbind=127.0.0.1\n");
    ok &= Put(address, QStringLiteral("ini-bad-port"), "\x01[device]\nip=10.0.0.1\nhost=70000\n");

    const QString find = root + QStringLiteral("/find_pattern");
    ok &= Put(find, QStringLiteral("plain"), std::string("\x00\x00\x01", 3) + ".192.168.1.10");
    ok &= Put(find, QStringLiteral("wildcard"), std::string("\x02\x00\x02", 3) + "%?%R,00,0211#");
    ok &= Put(find, QStringLiteral("repeat"), std::string("\x00\x00\x04", 3) + "abababababcab");

    return ok ? 0 : 1;
}
