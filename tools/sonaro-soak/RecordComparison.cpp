#include "RecordComparison.h"

#include "dsp/ParameterWords.h"

#include <string>

namespace sonaro {

namespace {

class Comparison
{
public:
    void check(const std::string& name, long long program, long long unit)
    {
        if (program != unit) differing.push_back(name);
    }
    std::vector<std::string> differing;
};

std::string Indexed(const char* name, int i)
{
    return std::string(name) + '[' + std::to_string(i) + ']';
}

// One EQ band as the E frame carries it: frequency, Q and gain words and the band type.
void CheckBand(Comparison& c, const std::string& name, double pf, double pq, double pg, int pt,
               double uf, double uq, double ug, int ut)
{
    c.check(name + ".frequency", FrequencyWord(pf), FrequencyWord(uf));
    c.check(name + ".q", QWord(pq, 0), QWord(uq, 0));
    c.check(name + ".gain", GainWord(pg), GainWord(ug));
    c.check(name + ".type", pt & 3, ut & 3);
}

} // namespace

std::vector<std::string> DifferingFields(const UnitRecord& p, const UnitRecord& u)
{
    Comparison c;
    // V: gains, threshold, input mutes; a muted output travels as gain 0.
    for (int ch = 0; ch < kInputCount; ++ch) {
        c.check(Indexed("inputGain", ch), p.inputGain[ch], u.inputGain[ch]);
        c.check(Indexed("inputMute", ch), p.inputMute[ch] != 0, u.inputMute[ch] != 0);
    }
    for (int out = 0; out < kOutputCount; ++out)
        c.check(Indexed("outputGain", out), p.outputMute[out] ? 0 : p.outputGain[out],
                u.outputGain[out]);
    c.check("threshold", p.threshold, u.threshold);
    // M: switches.
    for (int ch = 0; ch < kInputCount; ++ch) {
        c.check(Indexed("inputPhantom", ch), p.inputPhantom[ch] != 0, u.inputPhantom[ch] != 0);
        c.check(Indexed("inputLine", ch), p.inputLine[ch] != 0, u.inputLine[ch] != 0);
        c.check(Indexed("inputLowCut", ch), p.inputLowCut[ch] != 0, u.inputLowCut[ch] != 0);
        c.check(Indexed("inputPriority", ch), p.inputPriority[ch] != 0, u.inputPriority[ch] != 0);
    }
    c.check("outputFlagA", p.outputFlagA != 0, u.outputFlagA != 0);
    c.check("outputFlagB", p.outputFlagB != 0, u.outputFlagB != 0);
    c.check("outputFlagC", p.outputFlagC != 0, u.outputFlagC != 0);
    for (int out = 0; out < kOutputCount; ++out)
        c.check(Indexed("outputLevelType", out), p.outputLevelType[out] != 0,
                u.outputLevelType[out] != 0);
    c.check("thresholdMode", p.thresholdMode != 0, u.thresholdMode != 0);
    c.check("deviceMode", p.deviceMode != 0, u.deviceMode != 0);
    c.check("panelLock", p.panelLock != 0, u.panelLock != 0);
    // G: feedback, limiter switches, editor values, routing, automix, filters.
    for (int out = 0; out < kOutputCount; ++out)
        c.check(Indexed("limiterEnable", out), p.limiterEnable[out] != 0,
                u.limiterEnable[out] != 0);
    for (int ch = 0; ch < kInputCount; ++ch) {
        c.check(Indexed("feedback", ch), p.feedback[ch] != 0, u.feedback[ch] != 0);
        c.check(Indexed("eqEditorValue", ch), p.eqEditorValue[ch] & 0xFF,
                u.eqEditorValue[ch] & 0xFF);
        c.check(Indexed("highPassIndex", ch), p.highPassIndex[ch], u.highPassIndex[ch]);
        c.check(Indexed("lowPassIndex", ch), p.lowPassIndex[ch], u.lowPassIndex[ch]);
    }
    for (int out = 0; out < kOutputCount; ++out)
        c.check(Indexed("routing", out), p.routing[out] & 0xFF, u.routing[out] & 0xFF);
    c.check("maxOpenChannels", p.maxOpenChannels & 0xFF, u.maxOpenChannels & 0xFF);
    c.check("holdTime", p.holdTime & 0xFF, u.holdTime & 0xFF);
    // E: every band of every input and output.
    for (int ch = 0; ch < kInputCount; ++ch)
        for (int b = 0; b < kInputEqBands; ++b)
            CheckBand(c, "inputEq[ch " + std::to_string(ch) + " band " + std::to_string(b) + "]",
                      p.inputEqAt(b, kEqFrequency, ch), p.inputEqAt(b, kEqQ, ch),
                      p.inputEqAt(b, kEqGain, ch), p.inputEqType[b][ch],
                      u.inputEqAt(b, kEqFrequency, ch), u.inputEqAt(b, kEqQ, ch),
                      u.inputEqAt(b, kEqGain, ch), u.inputEqType[b][ch]);
    for (int out = 0; out < kOutputCount; ++out)
        for (int b = 0; b < kOutputEqBands; ++b)
            CheckBand(c, "outputEq[out " + std::to_string(out) + " band " + std::to_string(b) + "]",
                      p.outputEqAt(out, kEqFrequency, b), p.outputEqAt(out, kEqQ, b),
                      p.outputEqAt(out, kEqGain, b), p.outputEqType[out][b],
                      u.outputEqAt(out, kEqFrequency, b), u.outputEqAt(out, kEqQ, b),
                      u.outputEqAt(out, kEqGain, b), u.outputEqType[out][b]);
    // B: limiter settings.
    for (int out = 0; out < kOutputCount; ++out) {
        c.check(Indexed("limiterRatio", out), RatioWord(p.limiterRatio[out]),
                RatioWord(u.limiterRatio[out]));
        c.check(Indexed("limiterThreshold", out), ThresholdWord(p.limiterThreshold[out]),
                ThresholdWord(u.limiterThreshold[out]));
        c.check(Indexed("limiterAttack", out), static_cast<long long>(p.limiterAttack[out]),
                static_cast<long long>(u.limiterAttack[out]));
        c.check(Indexed("limiterRelease", out), static_cast<long long>(p.limiterRelease[out]),
                static_cast<long long>(u.limiterRelease[out]));
    }
    return c.differing;
}

} // namespace sonaro
