#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

// The frame: "%", kind letter, ",", groups each ending with ",", CRC-16/MODBUS of everything
// before it as four upper-case hex digits, "#". One frame per UDP datagram.
namespace sonaro {

std::uint16_t frameCrc16(const void* bytes, std::size_t length);
inline std::uint16_t frameCrc16(std::string_view text)
{
    return frameCrc16(text.data(), text.size());
}

// "%" + kind + "," + each group followed by "," + "%04X" checksum + "#".
std::string buildFrame(char kind, std::initializer_list<std::string_view> groups);
std::string buildFrame(char kind, std::span<const std::string> groups);

// Largest checksummed part ("%" plus the inner text without its checksum) an incoming frame of
// this kind may have: 256 for S, 512 for A and U, 64 for the rest. Longer frames are rejected.
std::size_t incomingWorkingArea(char kind);

// Validates a received frame. On success returns true and, when inner is given, sets it to the
// text between "%" and "#" (kind letter at position 0, first field at position 2).
// Frames whose checksummed part exceeds maxChecked are rejected before anything is copied.
bool checkFrame(std::string_view text, std::string_view* inner = nullptr,
                std::size_t maxChecked = SIZE_MAX);
// Same, with the working area of the frame's own kind letter.
bool checkIncomingFrame(std::string_view text, std::string_view* inner = nullptr);

// Reads count characters at position pos of the inner text as hexadecimal: upper-cased, a "0"
// put in front of an odd count, pairs read as bytes (high byte first). A character that is not a
// hex digit, or lies past the end of the text, counts as 0.
std::uint32_t hexField(std::string_view inner, std::size_t pos, std::size_t count);

// Decimal text as the C library reads it: optional blanks and sign, then the leading digits;
// 0 when there are none. Saturates instead of overflowing.
int decimalField(std::string_view text);

// First position at or after start where pattern occurs in text ("?" in the pattern matches any
// character), or -1. -1 when text or pattern is missing or start is negative; start when the
// pattern is empty.
int findPattern(const char* text, const char* pattern, int start);
int findPattern(std::string_view text, std::string_view pattern, int start);

// "%02X", "%04X", "%07X" and "%X" of a value.
std::string hex2(unsigned value);
std::string hex4(unsigned value);
std::string hex7(unsigned value);
std::string hex1(unsigned value);

} // namespace sonaro
