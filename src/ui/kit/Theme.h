#pragma once

#include <QColor>
#include <QFont>

class QApplication;
class QPainter;
class QRectF;

namespace sonaro::ui {

// The one palette of the desktop program: a dark mixer-console theme. Every kit widget and window
// takes its colours and fonts from here, never from literals of its own.
class Theme
{
public:
    static const Theme& instance();

    // Sets the Fusion style and a matching dark QPalette on the application, so that standard
    // widgets (lists, edits, combo boxes, dialogs) sit well beside the painted ones.
    static void applyTo(QApplication& app);

    // A font of the theme at a pixel size; bold for captions and titles.
    QFont font(int pixelSize, bool bold = false) const;
    // Monospaced digits for read-outs, so that changing values do not jitter.
    QFont readoutFont(int pixelSize) const;

    // Surfaces, from the back to the front.
    QColor window{0x17, 0x1a, 0x1e};
    QColor panel{0x22, 0x26, 0x2b};
    QColor panelRaised{0x2c, 0x31, 0x37};
    QColor panelEdge{0x3b, 0x42, 0x4a};
    QColor shadow{0x0b, 0x0d, 0x0f};
    QColor well{0x0f, 0x12, 0x15}; // recessed areas: fader slots, meters, read-outs

    // Text.
    QColor text{0xe4, 0xe7, 0xea};
    QColor textDim{0x8d, 0x96, 0x9f};
    QColor textDisabled{0x58, 0x5e, 0x65};

    // The program's accent (selection, active values, the main response curve).
    QColor accent{0x02, 0xa6, 0xe3};
    QColor accentBright{0x5c, 0xd2, 0xff};

    // Colours operators know from the unit: the tab green and the matrix crosspoints.
    QColor tabGreen{149, 191, 102};
    QColor matrixOn{0, 165, 221};
    QColor matrixOff{153, 153, 153};
    QColor matrixLegendClosed{128, 128, 128};
    QColor matrixGuide{128, 128, 128};

    // Level meter bands and the peak-hold marker.
    QColor meterGreen{0x3d, 0xd1, 0x5c};
    QColor meterYellow{0xf3, 0xc6, 0x2f};
    QColor meterRed{0xf2, 0x46, 0x3b};
    QColor meterPeak{0xff, 0xff, 0xff};
    int meterUnlitPercent = 16; // unlit segments show their band colour at this strength

    // Faders and knobs.
    QColor faderSlot{0x08, 0x0a, 0x0c};
    QColor faderCapTop{0xdd, 0xe1, 0xe5};
    QColor faderCapBottom{0x8e, 0x96, 0x9e};
    QColor faderCapLine{0x11, 0x13, 0x16};
    QColor scaleTick{0x5f, 0x67, 0x70};
    QColor knobBody{0x3a, 0x40, 0x47};
    QColor knobBodyDark{0x1d, 0x21, 0x25};
    QColor knobTrack{0x10, 0x13, 0x16};
    QColor readoutText{0x7c, 0xdc, 0xff};
    // The keyboard focus: a bright ring with a dark line inside it, so that one of the two stands
    // out on every face, dark or lit (mute red, priority amber, active green, the accent).
    QColor focusRing{0x5c, 0xd2, 0xff};
    QColor focusHalo{0x05, 0x07, 0x09};
    int focusRingWidth = 2;

    // Buttons: the face in each state; the checked colour is set per button.
    QColor buttonFace{0x33, 0x39, 0x40};
    QColor buttonHover{0x3e, 0x45, 0x4d};
    QColor buttonPressed{0x1f, 0x23, 0x27};
    QColor buttonDisabled{0x26, 0x2a, 0x2e};
    QColor muteRed{0xe0, 0x3e, 0x36};
    QColor priorityAmber{0xf0, 0x9a, 0x26};
    QColor phantomRed{0xd8, 0x4a, 0x3a};
    QColor activeGreen{0x3d, 0xc1, 0x5a};

    // Response graphs: plot area, grid, curves (the graph's own palette).
    QColor graphBackground{0x14, 0x18, 0x1c};
    QColor graphPlot{0x0c, 0x10, 0x13};
    QColor graphGrid{0x4a, 0x52, 0x5a};
    QColor graphGridMinor{0x2c, 0x33, 0x39};
    QColor graphZero{0x80, 0x8a, 0x94};
    QColor graphLabel{0x9a, 0xa3, 0xac};
    QColor curveMain{0x02, 0xa6, 0xe3};
    QColor curveMainFill{0x02, 0xa6, 0xe3, 0x38};
    QColor curveFilter{0x5f, 0xa7, 0xbd}; // low-pass and high-pass
    QColor curveBand{0xff, 0xff, 0xff};
    QColor curveBandFill{0xa3, 0xd5, 0xce, 0x40};
    QColor pointFill{0x2b, 0x5c, 0x6d};
    QColor pointSelected{0xa3, 0xd5, 0xce};
    QColor pointEdge{0xff, 0xff, 0xff};

private:
    Theme() = default;
};

// Draws the keyboard focus ring just inside `r` (the control's outline), rounded by `radius`.
void drawFocusRing(QPainter& p, const QRectF& r, qreal radius);

// Unlit version of a lit colour (meters, LEDs): the colour at `percent` strength on the well.
QColor dimmed(const QColor& lit, int percent);

} // namespace sonaro::ui
