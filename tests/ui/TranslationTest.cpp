// The program's two languages: every text has its Chinese, and both languages reach what the
// operator sees.

#include "model/SavedFile.h"
#include "support/LoopbackWindow.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"
#include "ui/kit/PaintedButton.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
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

// Both languages reach what the operator sees: every page button, menu and command changes with
// the language, and so do the core's messages; switching back gives the same texts again.
TEST(Translations, BothLanguagesReachTheVisibleLabels)
{
    sonaro::testing::LoopbackWindow w({.withUnit = false}); // in Chinese, as the program starts
    const auto texts = [&] {
        QCoreApplication::processEvents();
        QStringList all;
        for (int i = 0; i < 5; ++i)
            all << w.view->pageButton(i)->text();
        for (QMenu* menu : {w.window->mainMenu(), w.window->editMenu(), w.window->toolsMenu(),
                            w.window->helpMenu()}) {
            all << menu->title();
            for (QAction* action : menu->actions())
                if (!action->isSeparator()) all << action->text();
        }
        // A text of several paragraphs: its line breaks must match the source exactly.
        all << saveFailText(QStringLiteral("x"))
            << QCoreApplication::translate(
                   "sonaro::Database",
                   "The database %1 cannot be read: %2.\n\nMove it aside as %3 and start a new, "
                   "empty database? Channel names and groups start afresh; the old file is "
                   "kept.\n\nNo: Sonaro runs on without keeping channel names and groups until it "
                   "is started again.");
        return all;
    };
    const QStringList chinese = texts();
    w.language->setLanguage(Language::English);
    const QStringList english = texts();
    ASSERT_EQ(chinese.size(), english.size());
    for (qsizetype i = 0; i < chinese.size(); ++i)
        EXPECT_NE(chinese[i], english[i]) << english[i].toStdString();
    w.language->setLanguage(Language::Chinese);
    EXPECT_EQ(texts(), chinese);
}
