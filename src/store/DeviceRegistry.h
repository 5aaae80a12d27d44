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

    // Factory restore: clears every channel's group membership and names every row
    // "CHANNEL n" (inputs) or "MASTER n" (outputs) after its ID. Link flags stay as they are.
    void resetChannelsForFactory();

private:
    Database& m_db;
};

} // namespace sonaro
