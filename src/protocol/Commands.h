#pragma once

#include "model/LinkTable.h"
#include "model/UnitRecord.h"

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
std::string buildR(std::string_view user, std::string_view password);
// L: status stream on (true) or off.
std::string buildL(bool on);
// C: complete state request.
std::string buildC(int unit);
// F: request of one EQ block, slot 0..13.
std::string buildF(int unit, int slot);
// T: request of one output's dynamics settings.
std::string buildT(int unit, int output);
// V: input gains, output gains (a muted output as 00), threshold, input mute mask.
std::string buildV(const UnitRecord& record, int unit);
// M: per-input switches, output byte, unit byte.
std::string buildM(const UnitRecord& record, int unit);
// G: FBK mask, DRC switches, offset-480 values, routing, open channels, hold time, filters.
std::string buildG(const UnitRecord& record, int unit);

std::string buildJ(int unit, const LinkTable& table);

// I: set the unit's address ("%s:%05d"), or the discovery probe when address is empty.
std::string buildI(int unit, std::string_view address = {}, int port = 0);
// X: account change; every text is sent padded to 7 characters.
std::string buildX(int unit, std::string_view account, std::string_view oldPassword,
                   std::string_view newPassword);

// The per-input byte of M (and of the unit's S and D reports) and the two unit-wide bytes.
// Input: phantom bit 0, LINE bit 1, low cut bit 3, priority bit 4. Output: flags A, B, C at bits
// 1, 3, 5, level types of outputs 1 and 2 at bits 6 and 7. Unit: threshold mode bit 1, device
// mode bit 3, panel lock bit 5.
std::uint8_t inputSwitchByte(const UnitRecord& record, int input);
std::uint8_t outputSwitchByte(const UnitRecord& record);
std::uint8_t unitSwitchByte(const UnitRecord& record);
// Their inverses: the switches of the record set from a byte (other bits ignored).
void applyInputSwitchByte(UnitRecord& record, int input, int byte);
void applyOutputSwitchByte(UnitRecord& record, int byte);
void applyUnitSwitchByte(UnitRecord& record, int byte);

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
const AnswerWaitPolicy& answerWaitFor(char command);
// True for the kinds whose sender waits for an answer.
bool isAcknowledged(char command);

} // namespace sonaro
