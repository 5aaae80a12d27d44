#include "model/RecordingOperator.h"
#include "store/StoreTestSupport.h"

#include <QDir>
#include <QFile>

namespace sonaro::testing {
namespace {

using ::testing::ElementsAre;

TEST(Database, NewFileGetsTablesInColumnOrderAndSixGroups)
{
    QTemporaryDir dir;
    RecordingOperator op;
    const QString path = dir.filePath(kDatabaseFileName);
    {
        Database db(op, path);
        ASSERT_TRUE(db.openDatabase());
        EXPECT_TRUE(db.isConnected());
        // Positional inserts rely on the column order.
        EXPECT_TRUE(db.executeSql("insert into DvLink values(3,2)"));
        EXPECT_TRUE(db.executeSql("insert into ControlType values(2,1,0,1,0,1,0)"));
        const DbRows flags = db.openQuery("select * from ControlType");
        ASSERT_EQ(flags.size(), 1u);
        EXPECT_EQ(flags[0].integer("openflag"), 1);
        EXPECT_EQ(flags[0].integer("eqflag"), 0);
        EXPECT_EQ(flags[0].integer("limitflag"), 1);

        const DbRows groups = db.openQuery("select * from Group1 order by GroupID");
        ASSERT_EQ(groups.size(), 6u);
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(groups[i].integer("GroupID"), i + 1);
            EXPECT_EQ(groups[i].integer("Type"), i == 0 ? 0 : 1);
        }
        db.closeDatabase();
    }
    EXPECT_TRUE(QFile::exists(path));
    // Reopening an existing file does not add the groups again.
    Database again(op, path);
    EXPECT_EQ(again.openQuery("select * from Group1").size(), 6u);
    EXPECT_EQ(again.openQuery("select * from DvLink").size(), 1u);
    EXPECT_TRUE(op.messages.empty());
}

TEST_F(StoreTest, FailedStatementsAreToldOnceAndThenOnlySignalled)
{
    QStringList signalled;
    QObject::connect(db.get(), &Database::storageProblem,
                     [&](const QString& text) { signalled << text; });
    EXPECT_TRUE(db->openQuery("select * from NoSuchTable").empty());
    EXPECT_FALSE(db->executeSql("insert into NoSuchTable values(1)"));
    {
        Database::Batch batch(*db);
        EXPECT_FALSE(db->executeSql("delete from NoSuchTable"));
    }
    ASSERT_EQ(op.messages.size(), 1u);
    EXPECT_TRUE(op.messages[0].text.contains("no such table: NoSuchTable"));
    EXPECT_TRUE(op.messages[0].text.contains(QDir::toNativeSeparators(db->databasePath())));
    EXPECT_EQ(op.messages[0].title, "ERROR");
    ASSERT_EQ(signalled.size(), 2);
    EXPECT_TRUE(signalled[1].contains("no such table: NoSuchTable"));
    // Later statements still run; deleting from an empty table is no error.
    EXPECT_TRUE(db->executeSql("delete from DvLink"));
    EXPECT_EQ(op.messages.size(), 1u);
    EXPECT_EQ(signalled.size(), 2);
}

TEST_F(StoreTest, StatementOpensTheDatabaseOnFirstUseAndLogsBoundValues)
{
    Database lazy(op, dir.filePath("lazy.db"));
    QStringList lazyLog;
    lazy.setStatementLog([&](const QString& s) { lazyLog << s; });
    EXPECT_TRUE(lazy.executeSql("insert into Device(ID,Name,IP,Type) values(?,?,?,?)",
                                {1, QString("it's"), 1, 1}));
    EXPECT_TRUE(lazy.isConnected());
    EXPECT_THAT(lazyLog, ElementsAre("insert into Device(ID,Name,IP,Type) values(1,'it's',1,1)"));
    const DbRows rows = lazy.openQuery("select * from Device where SerialID=?", {1});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].text("Name"), "it's");
    EXPECT_EQ(rows[0].integer("Data"), 0);
    EXPECT_EQ(rows[0].integer("Name"), 0); // a text that is no number reads as 0
}

} // namespace
} // namespace sonaro::testing
