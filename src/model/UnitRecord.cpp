#include "model/UnitRecord.h"

#include <QDateTime>
#include <algorithm>
#include <cstring>

namespace sonaro {

UnitRecord zeroRecord()
{
    UnitRecord record;
    std::memset(&record, 0, sizeof record);
    return record;
}

void applyFactoryValues(UnitRecord& r)
{
    for (int ch = 0; ch < kInputCount; ++ch) {
        r.inputLine[ch] = 0;
        r.inputPhantom[ch] = 1;
        r.inputPriority[ch] = 0;
        r.feedback[ch] = 0;
        r.inputGain[ch] = 44;
        r.inputMute[ch] = 0;
        for (int band = 0; band < kInputEqBands; ++band) {
            r.inputEq[band][kEqFrequency][ch] = kInputEqFactoryFrequency[band];
            r.inputEq[band][kEqGain][ch] = 0.0;
            r.inputEq[band][kEqQ][ch] = 1.0;
            r.inputEqType[band][ch] = 0;
        }
        r.highPassIndex[ch] = 0;
        r.lowPassIndex[ch] = 0;
    }
    for (int out = 0; out < kOutputCount; ++out) {
        for (int band = 0; band < kOutputEqBands; ++band) {
            r.outputEq[out][kEqFrequency][band] = kOutputEqFactoryFrequency[band];
            r.outputEq[out][kEqGain][band] = 0.0;
            r.outputEq[out][kEqQ][band] = 1.0;
            r.outputEqType[out][band] = 0;
        }
        r.limiterRatio[out] = 1.0;
        r.limiterThreshold[out] = 0.0;
        r.limiterAttack[out] = 10;
        r.limiterRelease[out] = 10;
        r.outputGain[out] = 0;
        r.outputLevelType[out] = 1; // MIC
        r.outputMute[out] = 0;
        r.limiterEnable[out] = 0;
    }
    r.outputFlagA = 1;
    r.outputFlagB = 0;
    r.thresholdMode = 0;
    r.threshold = 0;
    r.deviceMode = 1;
    r.panelLock = 0;
    r.holdTime = 6;
    r.outputFlagC = r.outputLevelType[0];
    r.routing[0] = 0xFF;
    r.routing[1] = 0xFF;
    r.maxOpenChannels = 1;
}

std::string padAccount(std::string_view text)
{
    std::string padded(text.substr(0, kAccountLength));
    padded.resize(kAccountLength, kAccountFiller);
    return padded;
}

void storeAccount(char (&field)[kAccountLength], std::string_view text)
{
    const std::string padded = padAccount(text);
    std::memcpy(field, padded.data(), kAccountLength);
}

std::string accountText(const char (&field)[kAccountLength])
{
    std::string text(field, kAccountLength);
    // The search dialog stores names without filler; a zero byte ends those early.
    if (const auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
    while (!text.empty() && text.back() == kAccountFiller)
        text.pop_back();
    return text;
}

std::string_view accountField(const char (&field)[kAccountLength])
{
    return std::string_view(field, kAccountLength);
}

TimeStamp currentTimeStamp()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    TimeStamp stamp{};
    stamp.year = static_cast<std::uint16_t>(d.year());
    stamp.month = static_cast<std::uint16_t>(d.month());
    stamp.dayOfWeek = static_cast<std::uint16_t>(d.dayOfWeek() % 7); // Qt: Monday 1 .. Sunday 7
    stamp.day = static_cast<std::uint16_t>(d.day());
    stamp.hour = static_cast<std::uint16_t>(t.hour());
    stamp.minute = static_cast<std::uint16_t>(t.minute());
    stamp.second = static_cast<std::uint16_t>(t.second());
    stamp.milliseconds = static_cast<std::uint16_t>(t.msec());
    return stamp;
}

} // namespace sonaro
