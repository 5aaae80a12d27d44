#include "ui/InputEqWindow.h"

#include "dsp/EqCurves.h"
#include "store/DeviceRegistry.h"
#include "store/GroupStore.h"
#include "ui/EditorWindowParts.h"
#include "ui/GroupTabBar.h"
#include "ui/kit/Fader.h"
#include "ui/kit/Knob.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/ResponseGraph.h"
#include "ui/kit/Theme.h"
#include "ui/kit/ValueFormat.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace sonaro::ui {

namespace {

constexpr int kMargin = 12;
constexpr int kSpacing = 8;
constexpr int kSideWidth = 190;
constexpr int kPages = 6;

} // namespace

InputEqWindow::InputEqWindow(SonaroCore& core, int channel, QWidget* parent)
    : QDialog(parent), m_core(core), m_port(core.commandPort()),
      m_editor(core.surface(), m_port, core.operatorInterface())
{
    const Theme& theme = Theme::instance();
    setUpEditorWindow(this, QStringLiteral("inputEqEditor"), false);

    // Group tabs and channel buttons.
    m_tabs = new GroupTabBar(this);
    m_tabs->setMovable(false);
    for (int page = 0; page < kPages; ++page) {
        const int index = m_tabs->addTab(QString());
        m_tabs->setTabData(index, page);
    }
    connect(m_tabs, &QTabBar::currentChanged, this, [this] { groupTabChanged(); });

    auto* channelRow = new QHBoxLayout;
    channelRow->setSpacing(4);
    for (int ch = 0; ch < kInputCount; ++ch) {
        auto* button = new PaintedButton(QStringLiteral("CH %1").arg(ch + 1), this);
        button->setCheckable(true);
        button->setCheckedColour(theme.accent);
        button->setObjectName(QStringLiteral("channel%1").arg(ch + 1));
        connect(button, &QAbstractButton::clicked, this, [this, ch] { openChannel(ch); });
        channelRow->addWidget(button);
        m_channelButtons[std::size_t(ch)] = button;
    }
    channelRow->addStretch(1);

    // The graph.
    m_graph = makeEqGraph(this, kInputEqBands);
    connectEqGraph(m_graph, m_editor, kInputEqBands, this);

    // Side panel: channel list, bypass, reset, copy.
    QFrame* side = makePanel(this);
    side->setFixedWidth(kSideWidth);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(kSpacing, kSpacing, kSpacing, kSpacing);
    m_channelList = new QListWidget(side);
    m_channelList->setObjectName(QStringLiteral("channelList"));
    connect(m_channelList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < kInputCount && row != m_editor.channel()) openChannel(row);
    });
    m_bypass = new PaintedButton(side);
    m_bypass->setCheckable(true);
    m_bypass->setCheckedColour(theme.priorityAmber);
    m_bypass->setLampVisible(true);
    connect(m_bypass, &QAbstractButton::clicked, this, [this] {
        m_editor.toggleBypass();
        refresh(); // the button shows the editor's state, not the click
    });
    m_reset = new PaintedButton(side);
    connect(m_reset, &QAbstractButton::clicked, this, [this] { m_editor.reset(); });
    m_copyAreaCaption = makeCaption(side, false);
    m_copyFromCaption = makeCaption(side);
    m_copySource = new QComboBox(side);
    m_copy = new PaintedButton(side);
    connect(m_copy, &QAbstractButton::clicked, this,
            [this] { m_editor.copyFrom(m_copySource->currentIndex()); });
    sideLayout->addWidget(m_channelList, 1);
    sideLayout->addWidget(m_bypass);
    sideLayout->addWidget(m_reset);
    sideLayout->addSpacing(kSpacing);
    sideLayout->addWidget(m_copyAreaCaption);
    sideLayout->addWidget(m_copyFromCaption);
    sideLayout->addWidget(m_copySource);
    sideLayout->addWidget(m_copy);

    auto* top = new QHBoxLayout;
    top->setSpacing(kSpacing);
    top->addWidget(m_graph, 1);
    top->addWidget(side);

    // Bands and filters.
    QFrame* bandPanel = makePanel(this);
    auto* bandRow = new QHBoxLayout(bandPanel);
    bandRow->setContentsMargins(kSpacing, kSpacing, kSpacing, kSpacing);
    auto* bandGrid = new QGridLayout;
    bandGrid->setHorizontalSpacing(4);
    bandGrid->setVerticalSpacing(2);
    for (QLabel*& label : m_rowCaptions)
        label = makeCaption(bandPanel);
    bandGrid->addWidget(m_rowCaptions[3], 1, 0); // TYPE
    bandGrid->addWidget(m_rowCaptions[0], 2, 0); // f (Hz)
    bandGrid->addWidget(m_rowCaptions[1], 3, 0); // GAIN (dB)
    bandGrid->addWidget(m_rowCaptions[2], 4, 0); // Q
    for (int band = 0; band < kInputEqBands; ++band)
        buildBand(band, bandGrid, bandPanel);
    bandRow->addLayout(bandGrid, 1);

    auto* filters = new QGridLayout;
    filters->setVerticalSpacing(4);
    m_highPass = new PaintedButton(bandPanel);
    m_lowPass = new PaintedButton(bandPanel);
    for (PaintedButton* b : {m_highPass, m_lowPass}) {
        b->setCheckable(true);
        b->setCheckedColour(theme.accent);
        b->setLampVisible(true);
    }
    connect(m_highPass, &QAbstractButton::clicked, this, [this] {
        m_editor.toggleHighPass();
        refresh(); // the button shows the editor's state, not the click
    });
    connect(m_lowPass, &QAbstractButton::clicked, this, [this] {
        m_editor.toggleLowPass();
        refresh(); // the button shows the editor's state, not the click
    });
    m_highPassSlider = new QSlider(Qt::Horizontal, bandPanel);
    m_lowPassSlider = new QSlider(Qt::Horizontal, bandPanel);
    for (QSlider* s : {m_highPassSlider, m_lowPassSlider}) {
        s->setRange(1, InputEqEditor::kLastFilterPosition);
        s->setPageStep(1);
        s->setTickPosition(QSlider::TicksBelow);
        s->setFocusPolicy(Qt::StrongFocus);
    }
    // Higher positions are lower high-pass corners: draw the lowest corner on the left.
    m_highPassSlider->setInvertedAppearance(true);
    m_highPassSlider->setInvertedControls(true);
    connect(m_highPassSlider, &QSlider::valueChanged, this,
            [this](int p) { m_editor.highPassSliderMoved(p); });
    connect(m_lowPassSlider, &QSlider::valueChanged, this,
            [this](int p) { m_editor.lowPassSliderMoved(p); });
    m_highPassReadout = makeCaption(bandPanel, false);
    m_lowPassReadout = makeCaption(bandPanel, false);
    for (QLabel* l : {m_highPassReadout, m_lowPassReadout}) {
        l->setFont(theme.readoutFont(13));
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, theme.readoutText);
        l->setPalette(p);
        l->setMinimumWidth(56);
    }
    m_highPassCaption = makeCaption(bandPanel, false);
    m_lowPassCaption = makeCaption(bandPanel, false);
    m_highPassUnit = makeCaption(bandPanel);
    m_lowPassUnit = makeCaption(bandPanel);
    filters->addWidget(m_highPassCaption, 0, 0, 1, 2);
    filters->addWidget(m_highPass, 1, 0, 1, 2);
    filters->addWidget(m_highPassUnit, 2, 0);
    filters->addWidget(m_highPassReadout, 2, 1, Qt::AlignRight);
    filters->addWidget(m_highPassSlider, 3, 0, 1, 2);
    filters->setRowMinimumHeight(4, kSpacing * 2);
    filters->addWidget(m_lowPassCaption, 5, 0, 1, 2);
    filters->addWidget(m_lowPass, 6, 0, 1, 2);
    filters->addWidget(m_lowPassUnit, 7, 0);
    filters->addWidget(m_lowPassReadout, 7, 1, Qt::AlignRight);
    filters->addWidget(m_lowPassSlider, 8, 0, 1, 2);
    filters->setRowStretch(9, 1);
    auto* filterBox = new QWidget(bandPanel);
    filterBox->setFixedWidth(kSideWidth - kSpacing);
    filterBox->setLayout(filters);
    bandRow->addSpacing(kSpacing);
    bandRow->addWidget(filterBox);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(kSpacing);
    layout->addWidget(m_tabs);
    layout->addLayout(channelRow);
    layout->addLayout(top, 1);
    layout->addWidget(bandPanel);

    connect(&m_editor, &InputEqEditor::changed, this, &InputEqWindow::refresh);
    connect(&m_editor, &InputEqEditor::stripChanged, &core.surface(),
            &ControlSurface::inputStripChanged);
    followCore(
        core, m_editor, this, [this] { refresh(); }, [this] { loadChannelNames(); });

    resize(1180, 760);
    retranslate();
    loadChannelNames();
    openChannel(channel);
    recordUndoSteps(this, core);
    m_editor.start();
}

void InputEqWindow::buildBand(int band, QGridLayout* grid, QWidget* box)
{
    BandControls& c = m_bands[std::size_t(band)];
    c.title = makeCaption(box, false);
    c.title->setText(QString::number(band + 1));
    c.title->setAlignment(Qt::AlignCenter);
    c.type = new QComboBox(box);
    c.type->setObjectName(QStringLiteral("type%1").arg(band + 1));
    for (int t = 0; t <= 2; ++t)
        c.type->addItem(QString::fromLatin1(eqBandTypeLabel(static_cast<EqBandType>(t))));
    connect(c.type, &QComboBox::activated, this,
            [this, band](int t) { m_editor.setBandType(band, static_cast<EqBandType>(t)); });

    c.frequency = makeFrequencyKnob(box, kInputEqFactoryFrequency[band]);
    c.gain = makeGainKnob(box);
    c.q = makeQKnob(box);
    for (Knob* knob : {c.frequency, c.gain, c.q})
        onKnobEdited(knob, this, [this, band] { knobMoved(band); });

    c.slider = new Fader(box);
    c.slider->setRange(0, InputEqEditor::kGainSliderMax);
    c.slider->setDefaultValue(150);
    c.slider->setSingleStep(1);
    c.slider->setPageStep(10);
    c.slider->setFormat(ValueFormat::GainSliderTenths);
    c.slider->setScaleMarks({0, 150, 300}, [](int p) { return QString::number((150 - p) / 10); });
    c.slider->setUnityPosition(150);
    c.slider->setMinimumHeight(150);
    connect(c.slider, &ValueControl::moved, this,
            [this, band](int p) { m_editor.gainSliderMoved(band, p); });
    connect(c.slider, &ValueControl::valueEntered, this,
            [this, band](int p) { m_editor.gainSliderMoved(band, p); });

    // Each band takes two columns: its knobs, then its gain slider.
    const int column = 1 + 2 * band;
    grid->addWidget(c.title, 0, column, 1, 2);
    grid->addWidget(c.type, 1, column);
    grid->addWidget(c.frequency, 2, column);
    grid->addWidget(c.gain, 3, column);
    grid->addWidget(c.q, 4, column);
    grid->addWidget(c.slider, 1, column + 1, 4, 1);
}

void InputEqWindow::loadChannelNames()
{
    QSignalBlocker blockList(m_channelList);
    QSignalBlocker blockCopy(m_copySource);
    m_channelList->clear();
    m_copySource->clear();
    for (int ch = 0; ch < kInputCount; ++ch) {
        const QString name = m_core.channelName(ChannelKind::Input, ch)
                                 .value_or(QStringLiteral("Channel%1").arg(ch + 1));
        m_channelList->addItem(name);
        m_copySource->addItem(name);
        m_channelButtons[std::size_t(ch)]->setToolTip(name);
    }
}

void InputEqWindow::openChannel(int channel)
{
    m_editor.selectChannel(channel);
}

void InputEqWindow::knobMoved(int band)
{
    const BandControls& c = m_bands[std::size_t(band)];
    m_editor.knobChanged(band, c.frequency->value(), c.gain->value() / 10.0, c.q->value() / 10.0);
}

void InputEqWindow::groupTabChanged()
{
    m_page = m_tabs->pageAt(m_tabs->currentIndex());
    m_pageChannels.clear();
    if (m_page > 0) {
        for (const StripRef& strip : m_core.pageLayout(m_page).strips)
            if (strip.kind == ChannelKind::Input) m_pageChannels.push_back(strip.index);
    }
    m_core.surface().reloadGroups();
    m_editor.reloadLinks();
    m_editor.loadChannel();
}

void InputEqWindow::refresh()
{
    const Theme& theme = Theme::instance();
    const int channel = m_editor.channel();
    const bool bypassed = m_editor.bypassed();

    // Buttons: the current channel lit, the channels of the shown group outlined in the tab's
    // green, the linked channels in the accent.
    const std::vector<int>& highlighted = m_pageChannels;
    const std::vector<int> targets = m_editor.targets();
    for (int ch = 0; ch < kInputCount; ++ch) {
        PaintedButton* b = m_channelButtons[std::size_t(ch)];
        const bool target = std::find(targets.begin(), targets.end(), ch) != targets.end();
        const bool inPage =
            std::find(highlighted.begin(), highlighted.end(), ch) != highlighted.end();
        b->setChecked(ch == channel || target);
        b->setCheckedColour(ch == channel ? theme.accent : theme.tabGreen);
        b->setLampVisible(inPage);
    }
    {
        QSignalBlocker block(m_channelList);
        m_channelList->setCurrentRow(channel);
    }

    const std::array<EqBand, kInputEqBands> bands = m_editor.bands();
    for (int band = 0; band < kInputEqBands; ++band) {
        const EqBand& e = bands[std::size_t(band)];
        BandControls& c = m_bands[std::size_t(band)];
        QSignalBlocker b1(c.frequency), b2(c.gain), b3(c.q), b4(c.slider), b5(c.type);
        c.frequency->setValue(static_cast<int>(e.frequency));
        c.gain->setValue(tenths(e.gain));
        c.q->setValue(tenths(e.q));
        c.slider->setValue(InputEqEditor::gainSliderPosition(e.gain));
        c.type->setCurrentIndex(std::clamp(static_cast<int>(e.type), 0, 2));
        for (QWidget* w : {static_cast<QWidget*>(c.frequency), static_cast<QWidget*>(c.gain),
                           static_cast<QWidget*>(c.q), static_cast<QWidget*>(c.slider),
                           static_cast<QWidget*>(c.type)})
            w->setEnabled(!bypassed);
        c.title->setPalette([&] {
            QPalette p = c.title->palette();
            p.setColor(QPalette::WindowText,
                       band == m_editor.selectedBand() ? theme.accentBright : theme.text);
            return p;
        }());
    }

    const UnitRecord& record = m_core.table().current();
    const int highPassIndex = record.highPassIndex[channel];
    const int lowPassIndex = record.lowPassIndex[channel];
    InputCurves curves;
    m_editor.computeCurves(curves);
    m_graph->setSeries(1, curves.total);
    m_graph->setSeries(2, curves.lowPass);
    m_graph->setSeries(3, curves.highPass);
    ResponseCurve band;
    const bool banded = m_editor.computeSelectedBandCurve(band);
    showBandsOnGraph(
        m_graph, bands, m_editor.selectedBand(), banded ? &band : nullptr,
        [&](double f) { return inputChannelResponseAt(bands, highPassIndex, lowPassIndex, f); },
        !bypassed);

    {
        QSignalBlocker b1(m_highPassSlider), b2(m_lowPassSlider);
        m_highPassSlider->setValue(m_editor.highPassPosition());
        m_lowPassSlider->setValue(m_editor.lowPassPosition());
    }
    m_highPass->setChecked(m_editor.highPassOn());
    m_lowPass->setChecked(m_editor.lowPassOn());
    m_highPassReadout->setText(m_editor.highPassText());
    m_lowPassReadout->setText(m_editor.lowPassText());
    m_bypass->setChecked(bypassed);
    if (channel != m_namedChannel) nameControls();
}

void InputEqWindow::nameControls()
{
    // Assistive technology hears which channel and band a control edits.
    const int channel = m_editor.channel();
    m_namedChannel = channel;
    const int unit = m_core.table().currentUnit();
    const auto label = [unit](SettingId id, int index) {
        return SettingCatalogue::label({unit, id, index});
    };
    for (int band = 0; band < kInputEqBands; ++band) {
        const BandControls& c = m_bands[std::size_t(band)];
        const int index = channel * kInputEqBands + band;
        c.frequency->setAccessibleName(label(SettingId::InputEqFrequency, index));
        c.gain->setAccessibleName(label(SettingId::InputEqGain, index));
        c.q->setAccessibleName(label(SettingId::InputEqQ, index));
        c.type->setAccessibleName(label(SettingId::InputEqType, index));
        c.slider->setAccessibleName(tr("%1, slider").arg(label(SettingId::InputEqGain, index)));
    }
    m_highPass->setAccessibleName(label(SettingId::HighPass, channel));
    m_lowPass->setAccessibleName(label(SettingId::LowPass, channel));
    m_highPassSlider->setAccessibleName(tr("%1 cut-off").arg(label(SettingId::HighPass, channel)));
    m_lowPassSlider->setAccessibleName(tr("%1 cut-off").arg(label(SettingId::LowPass, channel)));
    m_graph->setAccessibleName(tr("Input %1 EQ response").arg(channel + 1));
    m_bypass->setAccessibleName(tr("Input %1 EQ bypass").arg(channel + 1));
}

void InputEqWindow::retranslate()
{
    setWindowTitle(tr("Edit EQ"));
    m_bypass->setText(tr("BYPASS"));
    m_copy->setText(tr("OK"));
    m_reset->setText(tr("RESET"));
    m_rowCaptions[0]->setText(tr("f (Hz)"));
    m_rowCaptions[1]->setText(tr("GAIN (dB)"));
    m_rowCaptions[2]->setText(tr("Q"));
    m_rowCaptions[3]->setText(tr("TYPE"));
    m_copyFromCaption->setText(tr("COPY FROM"));
    m_copyAreaCaption->setText(tr("COPY EQ"));
    m_highPass->setText(tr("HPF"));
    m_lowPass->setText(tr("LOWPASS"));
    m_highPassCaption->setText(tr("Highpass"));
    m_lowPassCaption->setText(tr("Lowpass"));
    m_highPassUnit->setText(tr("HP(Hz)"));
    m_lowPassUnit->setText(tr("LP(Hz)"));
    for (BandControls& c : m_bands) {
        c.frequency->setCaption(tr("FC(Hz)"));
        c.gain->setCaption(tr("Gain(dB)"));
        c.q->setCaption(tr("Q Value"));
        c.type->setToolTip(tr("Type"));
    }
    for (int i = 0; i < m_tabs->count(); ++i) {
        const int page = m_tabs->pageAt(i);
        m_tabs->setTabText(i, page == 0 ? tr("SINGLE") : tr("GROUP  %1").arg(page));
        m_tabs->setTabToolTip(i, page == 0 ? tr("Channels in no group")
                                           : tr("The channels of group %1").arg(page));
    }
    m_channelList->setAccessibleName(tr("Channels"));
    m_copySource->setAccessibleName(tr("COPY FROM"));
    m_tabs->setAccessibleName(tr("Groups"));
    m_namedChannel = -1;
    nameControls();
}

void InputEqWindow::hideEvent(QHideEvent* event)
{
    m_editor.flush(); // closing the window sends what the tick has not sent yet
    QDialog::hideEvent(event);
}

void InputEqWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

} // namespace sonaro::ui
