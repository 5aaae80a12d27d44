#include "protocol/FrameCodec.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <vector>

namespace sonaro {

namespace {

// Entry i is the reflected CRC (polynomial 0xA001) of the byte i.
constexpr std::array<std::uint32_t, 256> makeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? (crc >> 1) ^ 0xA001u : crc >> 1;
        table[i] = crc;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kCrcTable = makeCrcTable();
static_assert(kCrcTable[1] == 0xC0C1 && kCrcTable[255] == 0x4040);

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string hexOf(unsigned value, int width)
{
    std::string text(static_cast<std::size_t>(width), '0');
    for (int i = width - 1; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = kHexDigits[value & 0xF];
        value >>= 4;
    }
    return text;
}

int nibbleOf(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

std::string finished(std::string frame)
{
    const std::uint16_t crc = frameCrc16(frame);
    frame += hexOf(crc, 4);
    frame += '#';
    return frame;
}

} // namespace

std::uint16_t frameCrc16(const void* bytes, std::size_t length)
{
    const auto* p = static_cast<const unsigned char*>(bytes);
    std::uint32_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i)
        crc = kCrcTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return static_cast<std::uint16_t>(crc);
}

std::string buildFrame(char kind, std::initializer_list<std::string_view> groups)
{
    std::string frame{'%', kind, ','};
    for (std::string_view g : groups) {
        frame += g;
        frame += ',';
    }
    return finished(std::move(frame));
}

std::string buildFrame(char kind, std::span<const std::string> groups)
{
    std::string frame{'%', kind, ','};
    for (const std::string& g : groups) {
        frame += g;
        frame += ',';
    }
    return finished(std::move(frame));
}

std::size_t incomingWorkingArea(char kind)
{
    switch (kind) {
    case 'S':
        return 256;
    case 'A':
    case 'U':
        return 512;
    default:
        return 64;
    }
}

bool checkFrame(std::string_view text, std::string_view* inner, std::size_t maxChecked)
{
    // "%", kind letter and a checksum of four digits before "#" at the least.
    if (text.size() < 6 || text.front() != '%' || text.back() != '#') return false;
    const std::string_view body = text.substr(1, text.size() - 2);
    const std::size_t checkedLength = 1 + body.size() - 4; // "%" + inner without checksum
    if (checkedLength > maxChecked) return false;
    const std::uint16_t crc = frameCrc16(text.data(), checkedLength);
    const std::string expected = hexOf(crc, 4);
    // Compared as written: lower-case digits do not match.
    if (body.substr(body.size() - 4) != expected) return false;
    if (inner) *inner = body;
    return true;
}

bool checkIncomingFrame(std::string_view text, std::string_view* inner)
{
    if (text.size() < 2) return false;
    return checkFrame(text, inner, incomingWorkingArea(text[1]));
}

std::uint32_t hexField(std::string_view inner, std::size_t pos, std::size_t count)
{
    auto digit = [&](std::size_t i) -> std::uint32_t {
        return (i < count && pos + i < inner.size() && pos + i >= pos)
                   ? static_cast<std::uint32_t>(nibbleOf(inner[pos + i]))
                   : 0u;
    };
    // An odd count gets a leading "0"; the value is then the digits read most significant first.
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value = (value << 4) | digit(i);
    return value;
}

int decimalField(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

int findPattern(const char* text, const char* pattern, int start)
{
    if (!text || !pattern) return -1;
    return findPattern(std::string_view(text), std::string_view(pattern), start);
}

int findPattern(std::string_view text, std::string_view pattern, int start)
{
    if (start < 0) return -1;
    if (pattern.empty()) return start;
    const auto n = static_cast<std::ptrdiff_t>(text.size());
    const auto m = static_cast<std::ptrdiff_t>(pattern.size());
    if (start > n - m) return -1;
    auto matches = [](char p, char c) { return p == '?' || p == c; };

    if (pattern.find('?') != std::string_view::npos) {
        // A wildcard breaks the premise of the Knuth-Morris-Pratt failure table (a matched prefix
        // no longer tells which characters the text holds), so wildcard patterns are compared
        // position by position. The patterns in use are one or two characters long.
        for (std::ptrdiff_t i = start; i <= n - m; ++i) {
            std::ptrdiff_t j = 0;
            while (j < m && matches(pattern[static_cast<std::size_t>(j)],
                                    text[static_cast<std::size_t>(i + j)]))
                ++j;
            if (j == m) return static_cast<int>(i);
        }
        return -1;
    }

    std::vector<std::ptrdiff_t> failure(static_cast<std::size_t>(m), 0);
    for (std::ptrdiff_t i = 1, k = 0; i < m; ++i) {
        while (k > 0 &&
               pattern[static_cast<std::size_t>(i)] != pattern[static_cast<std::size_t>(k)])
            k = failure[static_cast<std::size_t>(k - 1)];
        if (pattern[static_cast<std::size_t>(i)] == pattern[static_cast<std::size_t>(k)]) ++k;
        failure[static_cast<std::size_t>(i)] = k;
    }
    for (std::ptrdiff_t i = start, k = 0; i < n; ++i) {
        while (k > 0 && text[static_cast<std::size_t>(i)] != pattern[static_cast<std::size_t>(k)])
            k = failure[static_cast<std::size_t>(k - 1)];
        if (text[static_cast<std::size_t>(i)] == pattern[static_cast<std::size_t>(k)]) ++k;
        if (k == m) return static_cast<int>(i - m + 1);
    }
    return -1;
}

std::string hex2(unsigned value)
{
    return hexOf(value, 2);
}
std::string hex4(unsigned value)
{
    return hexOf(value, 4);
}
std::string hex7(unsigned value)
{
    return hexOf(value, 7);
}
std::string hex1(unsigned value)
{
    return hexOf(value, 1);
}

} // namespace sonaro
