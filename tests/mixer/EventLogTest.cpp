#include "mixer/EventLog.h"
#include "mixer/EventLogFile.h"
#include "mixer/LoggingOperator.h"
#include "model/RecordingOperator.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gmock/gmock.h>

#include <set>

namespace sonaro::testing {
namespace {

QStringList texts(const EventLog& log)
{
    QStringList list;
    for (const Event& e : log.events())
        list << e.text;
    return list;
}

QStringList fileLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

TEST(EventLogTest, KeepsTheNewestUpToItsCapacityAndSignalsEachEvent)
{
    EventLog log(3);
    int signalled = 0;
    QObject::connect(&log, &EventLog::eventAdded, [&](const Event&) { ++signalled; });
    for (int i = 1; i <= 5; ++i)
        log.addText(EventKind::Message, QString::number(i));
    EXPECT_EQ(signalled, 5);
    EXPECT_EQ(texts(log), (QStringList{"3", "4", "5"}));
}

TEST(EventLogTest, KindKeysAreStableAndDistinct)
{
    // The keys are the log file's format: scripts filter on them.
    EXPECT_EQ(EventLog::key(EventKind::NotDelivered), "not-delivered");
    EXPECT_EQ(EventLog::key(EventKind::DroppedFrame), "dropped-frame");
    std::set<QString> keys;
    for (const EventKind kind : EventLog::kKinds) {
        keys.insert(EventLog::key(kind));
        EXPECT_EQ(EventLog::kindFromKey(EventLog::key(kind)), kind);
    }
    EXPECT_EQ(keys.size(), EventLog::kKinds.size());
}

TEST(EventLogTest, MasksPasswordsInFramesFieldsAndKeyedValues)
{
    // Login, account change and its answer, also inside a longer text; the checksum goes too.
    EXPECT_EQ(maskSecrets("%R,admin&&,888888&,1A2B#"), "%R,*******,*******,****#");
    EXPECT_EQ(maskSecrets("dropped: %X,01,admin&&,old&&&&,admin&&,new1&&&,ABCD# late"),
              "dropped: %X,**,*******,*******,*******,*******,****# late");
    EXPECT_EQ(maskSecrets("%Y,01,user&&&,pw&&&&&,0F0F#"), "%Y,**,*******,*******,****#");
    // A frame cut before its end is masked to the end of the text.
    EXPECT_EQ(maskSecrets("%R,admin&&,secr"), "%R,*******,****");
    // Padded account fields wherever they stand.
    EXPECT_EQ(maskSecrets("account abc123& and x&&&&&&."), "account ******* and *******.");
    EXPECT_EQ(maskSecrets("password=hunter2 PSW: abc pwd=x"),
              "password=***** PSW: ***** pwd=*****");

    // Texts without a secret stay as they are.
    for (const char* plain :
         {"User Password Error!", "Must be not &.", "Must be not , # % or &.", "New psw error.",
          "Save Fail: /tmp/a&b/room.ini: Permission denied", "%L,01,00000000000000000000,1234#",
          "Changing IP address successful, restart software."})
        EXPECT_EQ(maskSecrets(plain), plain);
}

TEST(EventLogTest, TextsAreMaskedPrintableAndBoundedAndOwnTextsFilledOnce)
{
    EventLog log;
    log.addText(EventKind::DroppedFrame, QStringLiteral("%R,admin&&,888888&,1A2B#\r\n\x01tail"));
    log.addText(EventKind::Message, QString(1000, u'x'));
    // An argument holding a place marker is not filled again; a padded field is masked.
    log.add(EventKind::Login, "Logged in to %1 as %2", {"10.0.0.5 %2", "x&&&&&&"});
    EXPECT_EQ(log.events().at(0).text, "%R,*******,*******,****#\\x0D\\x0A\\x01tail");
    EXPECT_LE(log.events().at(1).text.size(), EventLog::kMaxTextLength + 1);
    const Event& e = log.events().at(2);
    EXPECT_EQ(e.text, "Logged in to 10.0.0.5 %2 as *******");
    static const QRegularExpression line(
        QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)\tlogin\t)"));
    EXPECT_TRUE(line.match(e.line()).hasMatch()) << e.line().toStdString();
    EXPECT_TRUE(e.line().endsWith(e.text));
}

TEST(LoggingOperatorTest, LogsEveryMessageAndQuestionAndPassesThemOnUnchanged)
{
    EventLog log;
    RecordingOperator inner;
    inner.answer = false;
    LoggingOperator op(inner, log, EventKind::Preset);
    op.showMessage(Severity::Error, QStringLiteral("Save Fail: x"));
    EXPECT_FALSE(op.confirm(Severity::Notice, QStringLiteral("Restore Factory Settings?")));
    {
        const LoggingOperator::KindScope scope(op, EventKind::StateFile);
        op.showMessage(Severity::Information, QStringLiteral("password=abc"));
    }
    op.showMessage(Severity::Information, QStringLiteral("Open successfully"));

    EXPECT_EQ(inner.texts(), (QStringList{"Save Fail: x", "password=abc", "Open successfully"}));
    ASSERT_EQ(inner.questions.size(), 1u);
    EXPECT_EQ(texts(log),
              (QStringList{"ERROR: Save Fail: x", "Info: Restore Factory Settings? (No)",
                           "INFO: password=*****", "INFO: Open successfully"}));
    EXPECT_EQ(log.events().at(1).kind, EventKind::Preset);
    EXPECT_EQ(log.events().at(2).kind, EventKind::StateFile);
    EXPECT_EQ(log.events().at(3).kind, EventKind::Preset);
}

TEST(EventLogFileTest, RotatesAtItsLimitKeepingOneOlderFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(kEventLogFileName);
    EventLog log;
    EventLogFile file(log, path);
    qint64 written = 0;
    int n = 0;
    while (written < 3 * EventLogFile::kDefaultLimit) {
        log.addText(EventKind::Message, QStringLiteral("event %1 ").arg(++n) + QString(80, u'.'));
        written += log.events().back().line().toUtf8().size() + 1;
    }
    const QFileInfo current(path);
    const QFileInfo older(file.rotatedPath());
    EXPECT_LE(current.size(), EventLogFile::kDefaultLimit);
    EXPECT_LE(older.size(), EventLogFile::kDefaultLimit);
    EXPECT_GT(older.size(), EventLogFile::kDefaultLimit * 9 / 10);
    EXPECT_FALSE(QFileInfo::exists(path + ".2"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    // Nothing lost at the seam: the older file ends where the current one starts.
    const QStringList now = fileLines(path);
    const QStringList before = fileLines(file.rotatedPath());
    ASSERT_FALSE(now.isEmpty());
    ASSERT_FALSE(before.isEmpty());
    EXPECT_TRUE(now.last().contains(QStringLiteral("event %1 ").arg(n)));
    const int firstNow = now.first().section(' ', 1, 1).toInt();
    EXPECT_TRUE(before.last().contains(QStringLiteral("event %1 ").arg(firstNow - 1)));
}

TEST(EventLogFileTest, AFailedWriteBecomesOneStorageEventAndWritingResumesLater)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("gone");
    EventLog log;
    EventLogFile file(log, missing + "/sonaro.log");
    for (int i = 0; i < 5; ++i)
        log.addText(EventKind::Message, QStringLiteral("lost %1").arg(i));
    int storage = 0;
    for (const Event& e : log.events())
        if (e.kind == EventKind::Storage) {
            ++storage;
            EXPECT_TRUE(e.text.contains(missing)) << e.text.toStdString();
        }
    EXPECT_EQ(storage, 1);
    EXPECT_FALSE(file.writable());

    ASSERT_TRUE(QDir().mkpath(missing));
    log.addText(EventKind::Message, QStringLiteral("kept"));
    EXPECT_TRUE(file.writable());
    const QStringList lines = fileLines(file.path());
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith("\tmessage\tkept"));
}

} // namespace
} // namespace sonaro::testing
