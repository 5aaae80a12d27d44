#pragma once

#include "model/UnitRecord.h"
#include "protocol/Commands.h"

#include <array>
#include <string>
#include <string_view>

// The frames a unit sends, laid out exactly as the program reads them (field positions are
// counted in the inner text, between "%" and "#").
namespace sonaro {

// R: "00" and the unit count ("%02d") when accepted, "FF","FF" when refused. Inner length 12.
std::string buildReplyR(bool accepted, int unitCount);
// L: ten level bytes (inputs 1..8, outputs 1..2), then the open-state bits. Inner length 30.
std::string buildReplyL(const std::array<int, 10>& levels, int openBits);
// Z: the open states of one unit. Inner length 12.
std::string buildReplyZ(int unit, int openBits);
// A: one EQ slot, five bands of frequency, Q word (type << 14 | Q x 10) and gain word
// (gain x 10 + 150). Inner length 87.
std::string buildReplyA(const UnitRecord& record, int unit, int slot);
// P: address (three digits per part) ":" port (five digits), both account names. Inner 47.
std::string buildReplyP(int unit, std::string_view address, int port, std::string_view firstName,
                        std::string_view secondName);
// K: unit count. Inner length 12.
std::string buildReplyK(int unit, int count);
// U: dynamics of one output: ratio, (threshold + 80) x 10, attack, release. Inner length 32.
std::string buildReplyU(const UnitRecord& record, int unit, int output);
// Q and H: the EQ block / dynamics settings arrived. Inner length 12.
std::string buildReplyQ(int unit, int slot);
std::string buildReplyH(int unit, int output);
// Y: the account changed: name and new password. Inner length 25.
std::string buildReplyY(int unit, std::string_view name, std::string_view password);
// O: gains and threshold. Inner length 34.
std::string buildReplyO(const UnitRecord& record, int unit);
// S: the complete state, link table included. Inner length 147.
std::string buildReplyS(const UnitRecord& record, int unit, const LinkTable& links);
// N: the link table. Inner length 41.
std::string buildReplyN(int unit, const LinkTable& links);
// D: switch bytes coded like M. Inner length 32.
std::string buildReplyD(const UnitRecord& record, int unit);

// "%03d.%03d.%03d.%03d" of a dotted address.
std::string paddedAddress(std::string_view address);

} // namespace sonaro
