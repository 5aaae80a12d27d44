#include "ui/kit/Fader.h"
#include "ui/kit/Knob.h"
#include "ui/kit/LevelMeter.h"
#include "ui/kit/MatrixGrid.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/ResponseGraph.h"
#include "ui/kit/Theme.h"
#include "ui/kit/ValueReadout.h"

#include "dsp/EqCurves.h"
#include "dsp/ResponseGrid.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace sonaro::ui;

// Renders the kit into PNG files for a visual check, at device pixel ratios 1 and 2. Runs only
// when SONARO_KIT_SHOTS names the output directory.
namespace {

QString shotDir()
{
    return qEnvironmentVariable("SONARO_KIT_SHOTS");
}

void Save(QWidget& w, const QString& name)
{
    w.setAttribute(Qt::WA_DontShowOnScreen);
    w.show();
    w.grab().save(shotDir() + "/" + name + ".png");
    QPixmap hi(w.size() * 2);
    hi.setDevicePixelRatio(2.0);
    hi.fill(Theme::instance().window);
    w.render(&hi);
    hi.save(shotDir() + "/" + name + "@2x.png");
}

QWidget* makePanel()
{
    auto* w = new QWidget;
    QPalette p = w->palette();
    p.setColor(QPalette::Window, Theme::instance().panel);
    w->setPalette(p);
    w->setAutoFillBackground(true);
    return w;
}

} // namespace

TEST(KitShots, RenderEveryWidget)
{
    if (shotDir().isEmpty())
        GTEST_SKIP() << "set SONARO_KIT_SHOTS to a directory to render the kit";
    QDir().mkpath(shotDir());
    const Theme& theme = Theme::instance();

    // A row of input-strip-like panels: fader + meter, buttons, lamp.
    QWidget strips;
    QPalette pal = strips.palette();
    pal.setColor(QPalette::Window, theme.window);
    strips.setPalette(pal);
    strips.setAutoFillBackground(true);
    auto* row = new QHBoxLayout(&strips);
    row->setSpacing(6);
    const int levels[] = {45, 20, 33, 0};
    const int gains[] = {10, 24, 0, 60};
    for (int i = 0; i < 4; ++i) {
        QWidget* strip = makePanel();
        auto* col = new QVBoxLayout(strip);
        col->setContentsMargins(6, 6, 6, 6);
        col->setSpacing(5);
        auto* name = new QLabel(QStringLiteral("CHANNEL %1").arg(i + 1));
        name->setAlignment(Qt::AlignCenter);
        name->setFont(theme.font(11, true));
        col->addWidget(name);
        for (const char* caption : {"MIC", "48V", "MUTE", "PRIORITY"}) {
            auto* b = new PaintedButton(QString::fromLatin1(caption));
            b->setCheckable(true);
            if (QString(caption) == "MUTE") {
                b->setCheckedColour(theme.muteRed);
                b->setChecked(i == 3);
            } else if (QString(caption) == "PRIORITY") {
                b->setCheckedColour(theme.priorityAmber);
                b->setChecked(i == 1);
            } else if (QString(caption) == "48V") {
                b->setCheckedColour(theme.phantomRed);
                b->setLampVisible(true);
                b->setChecked(i % 2 == 0);
            }
            if (i == 2 && QString(caption) == "MIC") b->setEnabled(false);
            col->addWidget(b);
        }
        auto* lamp = new PaintedButton(i < 2 ? "ACTIVE" : "WAITING");
        lamp->setCheckable(true);
        lamp->setIndicator(true);
        lamp->setLampVisible(true);
        lamp->setCheckedColour(theme.activeGreen);
        lamp->setChecked(i < 2);
        col->addWidget(lamp);
        auto* faderRow = new QHBoxLayout;
        auto* fader = new Fader;
        fader->useGainScale();
        fader->setValue(gains[i]);
        fader->setMinimumHeight(280);
        auto* meter = new LevelMeter;
        meter->setRange(0, 50);
        meter->setLevel(50);
        meter->setLevel(levels[i]);
        meter->setFixedWidth(12);
        faderRow->addWidget(fader, 1);
        faderRow->addWidget(meter);
        col->addLayout(faderRow, 1);
        row->addWidget(strip);
    }
    strips.resize(4 * 104, 560);
    Save(strips, "strips");

    // Knobs and read-outs as the limiter and system pages use them.
    QWidget* knobs = makePanel();
    auto* grid = new QGridLayout(knobs);
    struct KnobSpec
    {
        const char* caption;
        int min, max, value;
        ValueFormat format;
        int origin;
    };
    const KnobSpec specs[] = {
        {"THRESHOLD", 0, 1000, 620, ValueFormat::Threshold, INT_MIN},
        {"ATTACK", 1, 2000, 10, ValueFormat::Milliseconds, INT_MIN},
        {"RELEASE", 50, 5000, 1400, ValueFormat::Milliseconds, INT_MIN},
        {"RATIO", 1, 10, 4, ValueFormat::Ratio, INT_MIN},
        {"GAIN", -150, 150, -45, ValueFormat::DecibelTenths, 0},
        {"FREQ", 20, 20000, 1000, ValueFormat::Hertz, INT_MIN},
        {"Q", 3, 200, 10, ValueFormat::QTenths, INT_MIN},
        {"OFF", 0, 1000, 1000, ValueFormat::Threshold, INT_MIN},
    };
    int c = 0;
    for (const KnobSpec& s : specs) {
        auto* k = new Knob;
        k->setCaption(QString::fromLatin1(s.caption));
        k->setRange(s.min, s.max);
        k->setFormat(s.format);
        k->setValue(s.value);
        if (s.origin != INT_MIN) k->setArcOrigin(s.origin);
        k->setFixedSize(76, 100);
        grid->addWidget(k, 0, c);
        auto* r = new ValueReadout;
        r->setRange(s.min, s.max);
        r->setFormat(s.format);
        r->setValue(s.value);
        r->setFixedSize(76, 24);
        grid->addWidget(r, 1, c++);
    }
    knobs->resize(8 * 84, 150);
    Save(*knobs, "knobs");
    delete knobs;

    MatrixGrid matrix;
    matrix.setRowBits(0, 0b10110101);
    matrix.setRowBits(1, 0b01001110);
    matrix.setColumnLabels(
        {"Podium", "Chair", "Guest L", "Guest R", "Panel 1", "Panel 2", "Audience", "Wireless"});
    pal = matrix.palette();
    pal.setColor(QPalette::Window, theme.window);
    matrix.setPalette(pal);
    matrix.setAutoFillBackground(true);
    matrix.resize(matrix.sizeHint() + QSize(40, 40));
    Save(matrix, "matrix");

    // An input EQ graph: a low shelf, a cut, a boost, a high shelf and both filters, the third
    // band selected; the handles sit on the bands' own curves.
    const std::array<sonaro::EqBand, 5> bands{
        sonaro::EqBand{120.0, 4.0, 0.7, sonaro::EqBandType::LowShelf},
        sonaro::EqBand{400.0, -9.0, 4.0, sonaro::EqBandType::Peak},
        sonaro::EqBand{2000.0, 6.0, 1.2, sonaro::EqBandType::Peak},
        sonaro::EqBand{3300.0, 0.0, 0.5, sonaro::EqBandType::Peak},
        sonaro::EqBand{9000.0, -5.0, 0.7, sonaro::EqBandType::HighShelf}};
    QList<QPointF> handles;
    for (const sonaro::EqBand& b : bands)
        handles << QPointF(b.frequency, sonaro::bandHandleLevel(b));
    sonaro::InputCurves curves;
    sonaro::ResponseCurve band{};
    sonaro::computeInputCurves(bands, 7, 7, curves);
    sonaro::inputBandCurve(bands[2], band);
    const sonaro::ResponseCurve& sum = curves.total;
    ResponseGraph eq;
    eq.setLogarithmicX(true);
    eq.setYRange(-15, 15);
    eq.setXValues(sonaro::ResponseGrid);
    eq.setSeries(1, curves.total);
    eq.setSeries(2, curves.lowPass);
    eq.setSeries(3, curves.highPass);
    eq.setBandCurve(band);
    // The values at the bands' own frequencies, so that the curves pass through the handles.
    QList<QPointF> totalAtBands;
    for (const sonaro::EqBand& b : bands)
        totalAtBands << QPointF(b.frequency,
                                sonaro::inputChannelResponseAt(bands, 7, 7, b.frequency));
    eq.setSeriesExtraPoints(1, totalAtBands);
    eq.setBandCurveExtraPoints({QPointF(bands[2].frequency, sonaro::bandHandleLevel(bands[2]))});
    eq.setHandles(handles);
    eq.setHandleLabels({"1", "2", "3", "4", "5"});
    eq.selectBand(2);
    eq.resize(760, 320);
    Save(eq, "graph-eq");

    // The limiter's transfer curve: linear x, knee at -20 dB, ratio 4.
    ResponseGraph limiter;
    limiter.setFillCurves(false);
    limiter.setYRange(-140, 20);
    limiter.setXRange(-140, 20);
    std::array<double, ResponseGraph::kPoints> xs{}, ys{};
    for (int i = 0; i < ResponseGraph::kPoints; ++i) {
        xs[i] = -140.0 + 160.0 * i / (ResponseGraph::kPoints - 1);
        ys[i] = xs[i] < -20 ? xs[i] : -20 + (xs[i] + 20) / 4;
    }
    limiter.setXValues(xs);
    limiter.setSeries(1, ys);
    limiter.setHandles({{-20, -20}, {20, 10}});
    limiter.resize(420, 400);
    Save(limiter, "graph-limiter");

    // The small form on a strip.
    ResponseGraph small;
    small.setCompact(true);
    small.setLogarithmicX(true);
    small.setXValues(sonaro::ResponseGrid);
    small.setSeries(1, sum);
    small.resize(90, 44);
    Save(small, "graph-small");

    // A read-out refusing typed text: the editor stays open with a red frame.
    ValueReadout refused;
    refused.setRange(20, 20000);
    refused.setFormat(ValueFormat::Hertz);
    refused.setValue(1000);
    refused.resize(110, 28);
    refused.setAttribute(Qt::WA_DontShowOnScreen);
    refused.show();
    refused.beginTypedEntry(QStringLiteral("1k2"));
    refused.typedEntryEditor()->setText(QStringLiteral("1k2"));
    QTest::keyClick(refused.typedEntryEditor(), Qt::Key_Return);
    Save(refused, "readout-refused");
}
