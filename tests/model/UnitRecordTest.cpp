#include "model/UnitRecord.h"
#include "model/UnitTable.h"
#include "model/ValueConventions.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace sonaro;

TEST(UnitRecord, FreshTableHoldsZeroRecordsAndTheStartUpAccounts)
{
    UnitTable table;
    table.initialiseAccounts();
    const UnitRecord& r = table.record(1);
    EXPECT_EQ(accountField(r.adminName), "admin&&");
    EXPECT_EQ(accountField(r.userName), "user&&&");
    EXPECT_EQ(r.accountLevel, 2);
    // Every other byte of record 1 is zero.
    UnitRecord expected = zeroRecord();
    std::memcpy(expected.adminName, r.adminName, kAccountLength);
    std::memcpy(expected.userName, r.userName, kAccountLength);
    expected.accountLevel = 2;
    EXPECT_EQ(std::memcmp(&expected, &r, sizeof r), 0);
    EXPECT_EQ(table.currentUnit(), 1);
    EXPECT_EQ(table.language(), Language::Chinese);
    EXPECT_TRUE(UnitTable::isValidUnit(64));
    EXPECT_FALSE(UnitTable::isValidUnit(0));
    EXPECT_FALSE(UnitTable::isValidUnit(65));
}

TEST(UnitRecord, EqArraysSitAtTheirFileOffsets)
{
    UnitRecord r = zeroRecord();
    r.inputEqAt(1, kEqGain, 3) = 2.5;
    r.outputEqAt(1, kEqQ, 2) = 4.0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&r);
    double value = 0;
    // Band 1 gain of input 3: 512 + 192*1 + 64 + 8*3.
    std::memcpy(&value, bytes + 512 + 192 + 64 + 24, sizeof value);
    EXPECT_DOUBLE_EQ(value, 2.5);
    // Output 2 Q of band 2: 2232 + 8*2.
    std::memcpy(&value, bytes + 2232 + 16, sizeof value);
    EXPECT_DOUBLE_EQ(value, 4.0);
}

TEST(UnitRecord, AccountPadding)
{
    EXPECT_EQ(padAccount("abcdef"), "abcdef&");
    EXPECT_EQ(padAccount("a"), "a&&&&&&");
    EXPECT_EQ(padAccount(""), "&&&&&&&");
    EXPECT_EQ(padAccount("abcdefghi"), "abcdefg");
    UnitRecord r = zeroRecord();
    storeAccount(r.loginName, "admin");
    EXPECT_EQ(accountText(r.loginName), "admin");
    std::memcpy(r.userName, "user\0\0\0", 7); // stored without filler by the search dialog
    EXPECT_EQ(accountText(r.userName), "user");
}

TEST(ValueConventions, InputAndOutputLevelCodingsAreOpposite)
{
    EXPECT_STREQ(inputSourceLabel(1), "LINE");
    EXPECT_STREQ(outputLevelLabel(1), "MIC");
}
