#include "model/SavedFile.h"
#include "model/UnitTable.h"
#include "ui/LanguageSwitcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace sonaro;

// Every text of the program has its Chinese: an entry whose translation is its source is one of
// the units' own texts and says so; every context is the one tr() looks up (with the namespace).
TEST(Translations, EveryTextIsTranslatedOrMarkedAsTheUnitsOwn)
{
    // The data folder need not exist: the path is cleaned before it is opened.
    QFile ts(QDir::cleanPath(
        QStringLiteral(SONARO_TEST_DATA_DIR "/../../translations/sonaro_zh_CN.ts")));
    ASSERT_TRUE(ts.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&ts);
    QString context, source, translation, comment;
    bool unfinished = false;
    QSet<QString> contexts;
    int messages = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == u"message") {
                source.clear(), translation.clear(), comment.clear();
                unfinished = false;
            } else if (name == u"name") {
                context = xml.readElementText();
                EXPECT_TRUE(context.startsWith("sonaro::")) << context.toStdString();
                EXPECT_FALSE(contexts.contains(context)) << "twice: " << context.toStdString();
                contexts.insert(context);
            } else if (name == u"source") {
                source = xml.readElementText();
            } else if (name == u"translatorcomment") {
                comment = xml.readElementText();
            } else if (name == u"translation") {
                unfinished = xml.attributes().value("type") == u"unfinished";
                translation = xml.readElementText();
            }
        } else if (xml.isEndElement() && xml.name() == u"message") {
            ++messages;
            const std::string where = (context + " / " + source).toStdString();
            EXPECT_FALSE(unfinished) << where;
            EXPECT_FALSE(translation.isEmpty()) << where;
            if (translation == source) {
                EXPECT_EQ(comment, "the unit's own text") << where;
            }
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(messages, 300);
}

TEST(Translations, TheChineseTranslationLoadsAndSwitchesBothWays)
{
    UnitTable table;
    ui::LanguageSwitcher switcher(table);
    ASSERT_TRUE(switcher.load()) << "the compiled translation is embedded in the program";
    switcher.setLanguage(Language::Chinese);
    // The same word in two windows, two translations; the core's messages from the same file.
    EXPECT_EQ(QCoreApplication::translate("sonaro::ui::SystemPage", "THRESHOLD"),
              QString::fromUtf8("门限"));
    EXPECT_EQ(QCoreApplication::translate("sonaro::ui::LimiterWindow", "THRESHOLD"),
              QString::fromUtf8("启动门限:"));
    EXPECT_EQ(saveFailText(QStringLiteral("x")), QString::fromUtf8("保存失败: x"));
    // A text of several paragraphs: its line breaks must match the source exactly.
    const char* question =
        "The database %1 cannot be read: %2.\n\nMove it aside as %3 and start a new, empty "
        "database? Channel names and groups start afresh; the old file is kept.\n\nNo: Sonaro "
        "runs on without keeping channel names and groups until it is started again.";
    EXPECT_TRUE(QCoreApplication::translate("sonaro::Database", question)
                    .startsWith(QString::fromUtf8("无法读取数据库")));
    switcher.toggle();
    EXPECT_EQ(table.language(), Language::English);
    EXPECT_EQ(QCoreApplication::translate("sonaro::ui::MainWindow", "TOOLS"), "TOOLS");
}
