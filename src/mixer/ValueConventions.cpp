#include "mixer/ValueConventions.h"

namespace sonaro {

std::string GainText(int value)
{
    return std::to_string(GainToDb(value)) + "dB";
}

const char* InputSourceLabel(int line)
{
    return line == 1 ? "LINE" : "MIC";
}

const char* OutputLevelLabel(int levelType)
{
    return levelType == 1 ? "MIC" : "LINE";
}

const char* OpenStateLabel(int open)
{
    return open == 1 ? "ACTIVE" : "WAITING";
}

} // namespace sonaro
