#pragma once

#include <QString>

#include <optional>

namespace sonaro {

class Database;

// Kind of a channel as stored in Device.Type.
enum class ChannelKind : int
{
    Input = 1,
    Output = 2
};

// The Device table as the program's list of known channels. A channel is (unit number, kind,
// channel index); the stored ID is the index plus 1.
class DeviceRegistry
{
public:
    explicit DeviceRegistry(Database& db) : m_db(db) {}

    // Adds the missing rows of units 1..unitCount: per unit inputs 1..8 named Input0..Input7,
    // then outputs 1..2 named Output0..Output1. Existing rows keep their names.
    void ensureChannelRows(int unitCount);

    // Stores a new name for the channel. Returns the name the strip shows afterwards: newName
    // when the channel has a row, else currentName.
    QString renameChannel(int unit, ChannelKind kind, int channelIndex, const QString& currentName,
                          const QString& newName);

    // The stored name of the channel, or nothing when it has no row.
    std::optional<QString> channelName(int unit, ChannelKind kind, int channelIndex);

    // The name and kind of the channel with this SerialID (1..10 are unit 1's), if it has a row.
    struct SerialChannel
    {
        QString name;
        int kind = 0; // Device.Type: 1 input, 2 output
    };
    std::optional<SerialChannel> channelBySerial(int serialId);

    // The operator's name of a unit of a cascade; nothing when it has none.
    std::optional<QString> unitName(int unit);
    // Stores it; true when the database has it afterwards.
    bool renameUnit(int unit, const QString& name);

    // Factory restore: clears every channel's group membership and names every row
    // "CHANNEL n" (inputs) or "MASTER n" (outputs) after its ID. Link flags stay as they are.
    void resetChannelsForFactory();

private:
    Database& m_db;
};

} // namespace sonaro
