#include "model/ValueConventions.h"

namespace sonaro {

std::string gainText(int value)
{
    return std::to_string(gainToDb(value)) + "dB";
}

const char* inputSourceLabel(int line)
{
    return line == 1 ? "LINE" : "MIC";
}

const char* outputLevelLabel(int levelType)
{
    return levelType == 1 ? "MIC" : "LINE";
}

} // namespace sonaro
