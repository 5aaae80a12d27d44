#pragma once

#include "mixer/UnitRecord.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The outgoing command catalogue: one builder per kind letter. Each returns the exact frame text;
// record fields are read when the builder runs, so a frame built late carries the newest state.
// E and B (coefficient payloads) live with the DSP code.
namespace sonaro {

// R: login request with the account name and password (each sent as exactly 7 characters,
// padded with "&" or cut).
std::string BuildR(std::string_view user, std::string_view password);
// L: status stream on (true) or off.
std::string BuildL(bool on);
// C: complete state request.
std::string BuildC(int unit);
// F: request of one EQ block, slot 0..13.
std::string BuildF(int unit, int slot);
// T: request of one output's dynamics settings.
std::string BuildT(int unit, int output);
// V: input gains, output gains (a muted output as 00), threshold, input mute mask.
std::string BuildV(const UnitRecord& record, int unit);
// M: per-input switches, output byte, unit byte.
std::string BuildM(const UnitRecord& record, int unit);
// G: FBK mask, DRC switches, offset-480 values, routing, open channels, hold time, filters.
std::string BuildG(const UnitRecord& record, int unit);

// The link table of J: per channel its group digit (0 none, 1..5) and its flag byte.
struct LinkTable
{
    static constexpr int kChannels = 10;
    std::array<int, kChannels> group{};
    std::array<std::uint8_t, kChannels> flags{};
};
// Bit positions of the link flags in J's flag byte (and in the unit's N report).
enum LinkFlagBit : std::uint8_t
{
    kVolFlagBit = 0x80,
    kLineFlagBit = 0x40,
    kOpenFlagBit = 0x20,
    kPhontonFlagBit = 0x10,
    kEqFlagBit = 0x08,
    kLimitFlagBit = 0x04,
};
std::string BuildJ(int unit, const LinkTable& table);

// I: set the unit's address ("%s:%05d"), or the discovery probe when address is empty.
std::string BuildI(int unit, std::string_view address = {}, int port = 0);
// X: account change; every text is sent padded to 7 characters.
std::string BuildX(int unit, std::string_view account, std::string_view oldPassword,
                   std::string_view newPassword);

// The per-input byte of M and the two unit-wide bytes, for the virtual unit and tests.
std::uint8_t InputSwitchByte(const UnitRecord& record, int input);
std::uint8_t OutputSwitchByte(const UnitRecord& record);
std::uint8_t UnitSwitchByte(const UnitRecord& record);

// How a link waits for the answer to an acknowledged command (M, E, B). Times are counted in
// poll cycles of the answer wait (10 ms on the wire): the first datagram leaves at cycle 0,
// the same frame is sent again at each cycle of resendAt, and the wait ends at giveUpAt (right
// after a resend at that cycle). An answer that arrives ends the wait at once.
struct AnswerWaitPolicy
{
    char command; // 'M', 'E' or 'B'
    char answer;  // 'D', 'Q' or 'H'
    std::array<int, 4> resendAt;
    int resendCount;
    int giveUpAt;
    bool clearPendingOnGiveUp; // E clears its pending flag when it stops waiting
};

// M: 20 cycles, then once more (two datagrams, ~200 ms). E: sent again on every 10th cycle,
// ending at cycle 40 (five datagrams, ~390 ms). B: 30 cycles, then once more (two, ~300 ms).
const AnswerWaitPolicy& AnswerWaitFor(char command);
// True for the kinds whose sender waits for an answer.
bool IsAcknowledged(char command);

} // namespace sonaro
