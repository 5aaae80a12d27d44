#pragma once

#include "model/OperatorInterface.h"
#include "model/RecordingOperator.h"
#include "store/DataDirectory.h"
#include "store/Database.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

namespace sonaro::testing {

// A database in a temporary directory, with every statement recorded.
class StoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        db = std::make_unique<Database>(op, dir.filePath(QString::fromLatin1(kDatabaseFileName)));
        db->setStatementLog([this](const QString& statement) { log << statement; });
        ASSERT_TRUE(db->openDatabase());
    }

    // Rows of unit 1 as the first login reply creates them: SerialID 1..8 inputs, 9..10 outputs.
    void addFirstUnit()
    {
        for (int i = 1; i <= 8; ++i)
            db->executeSql("insert into Device(ID,Name,IP,Type) values(?,?,1,1)",
                           {i, QString("Input%1").arg(i - 1)});
        for (int i = 1; i <= 2; ++i)
            db->executeSql("insert into Device(ID,Name,IP,Type) values(?,?,1,2)",
                           {i, QString("Output%1").arg(i - 1)});
        log.clear();
    }

    QStringList column(const QString& statement, const char* name)
    {
        QStringList values;
        for (const DbRow& row : db->openQuery(statement))
            values << row.text(name);
        return values;
    }

    QTemporaryDir dir;
    RecordingOperator op;
    std::unique_ptr<Database> db;
    QStringList log;
};

} // namespace sonaro::testing
