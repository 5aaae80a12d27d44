// findPattern against a plain position-by-position search.
// Input: two bytes of start (signed, little-endian), one byte of pattern length, the pattern,
// then the text. Both overloads are compared; the C-string one sees the texts up to a zero byte.
#include "FuzzSupport.h"

#include "protocol/FrameCodec.h"

#include <cstring>
#include <string>

using namespace sonaro;

namespace {

int Reference(std::string_view text, std::string_view pattern, int start)
{
    if (start < 0) return -1;
    if (pattern.empty()) return start;
    const auto n = static_cast<long long>(text.size());
    const auto m = static_cast<long long>(pattern.size());
    for (long long i = start; i + m <= n; ++i) {
        long long j = 0;
        while (j < m &&
               (pattern[static_cast<std::size_t>(j)] == '?' ||
                pattern[static_cast<std::size_t>(j)] == text[static_cast<std::size_t>(i + j)]))
            ++j;
        if (j == m) return static_cast<int>(i);
    }
    return -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3) return 0;
    const int start = static_cast<std::int16_t>(data[0] | (data[1] << 8));
    const std::size_t patternLength = std::min<std::size_t>(data[2], size - 3);
    const fuzz::ExactBuffer pattern(data + 3, patternLength);
    const fuzz::ExactBuffer text(data + 3 + patternLength, size - 3 - patternLength);
    const std::string_view p(pattern.bytes.get(), pattern.size);
    const std::string_view t(text.bytes.get(), text.size);

    SONARO_FUZZ_CHECK(findPattern(t, p, start) == Reference(t, p, start));

    const std::string cText(t.substr(0, t.find('\0')));
    const std::string cPattern(p.substr(0, p.find('\0')));
    SONARO_FUZZ_CHECK(findPattern(cText.c_str(), cPattern.c_str(), start) ==
                      Reference(cText, cPattern, start));
    return 0;
}
