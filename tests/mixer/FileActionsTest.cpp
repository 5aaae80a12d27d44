#include "mixer/FileActions.h"
#include "mixer/ControlSurface.h"
#include "mixer/RecordingCommandPort.h"
#include "model/RecordingOperator.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sonaro::testing {
namespace {

TEST(FileActions, PresetNameGetsIniOnlyWhenTheFileNameHasNoSuffix)
{
    EXPECT_EQ(FileActions::presetFilePath("/rooms/hall"), "/rooms/hall.ini");
    EXPECT_EQ(FileActions::presetFilePath("/rooms.v2/hall"), "/rooms.v2/hall.ini")
        << "a dot in a folder's name is no suffix";
    EXPECT_EQ(FileActions::presetFilePath("/rooms/hall."), "/rooms/hall.ini");
    EXPECT_EQ(FileActions::presetFilePath("/rooms/.hall"), "/rooms/.hall.ini");
    EXPECT_EQ(FileActions::presetFilePath("/rooms/hall.ini"), "/rooms/hall.ini");
    EXPECT_EQ(FileActions::presetFilePath("/rooms/hall.bak"), "/rooms/hall.bak");
    EXPECT_EQ(FileActions::presetFilePath(""), "") << "a cancelled dialog stays cancelled";
}

TEST(FileActions, FailedPresetSaveSaysSaveFailAndNothingElse)
{
    UnitTable table;
    RecordingOperator op;
    RecordingCommandPort port;
    ControlSurface surface(table, port, op);
    FileActions files(table, surface, op);
    QTemporaryDir dir;
    const QString path = dir.filePath("missing/folder/hall.ini");
    EXPECT_FALSE(files.savePreset([&] { return path; }));
    ASSERT_EQ(op.messages.size(), 1u);
    EXPECT_TRUE(op.messages[0].text.startsWith("Save Fail: " + path));
    EXPECT_EQ(op.messages[0].title, "ERROR");
    EXPECT_TRUE(files.savePreset([&] { return dir.filePath("hall.ini"); }));
    EXPECT_EQ(op.texts().last(), "Save successfully");
}

} // namespace
} // namespace sonaro::testing
