#pragma once

#include "mixer/LimiterEditor.h"
#include "mixer/SonaroCore.h"

#include <QDialog>

#include <array>

class QComboBox;
class QLabel;

namespace sonaro::ui {

class PaintedButton;
class ResponseGraph;
class ValueReadout;

// The limiter editor of one output: the transfer curve with its knee and end-point handles, the
// threshold / attack / release / ratio read-outs, the attack, release and ratio lists, the DRC
// button and RESET. Modal: the output strip runs it with exec().
class LimiterWindow : public QDialog
{
    Q_OBJECT

public:
    LimiterWindow(SonaroCore& core, int output, QWidget* parent = nullptr);

    LimiterEditor& editor() { return m_editor; }
    void done(int result) override;

    ResponseGraph* graph() const { return m_graph; }
    ValueReadout* thresholdReadout() const { return m_threshold; }
    ValueReadout* attackReadout() const { return m_attack; }
    ValueReadout* releaseReadout() const { return m_release; }
    ValueReadout* ratioReadout() const { return m_ratio; }
    QComboBox* attackList() const { return m_attackList; }
    QComboBox* releaseList() const { return m_releaseList; }
    QComboBox* ratioList() const { return m_ratioList; }
    PaintedButton* drcButton() const { return m_drc; }
    PaintedButton* resetButton() const { return m_reset; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void refresh();
    void retranslate();

    SonaroCore& m_core;
    CommandPort& m_port;
    LimiterEditor m_editor;

    ResponseGraph* m_graph = nullptr;
    ValueReadout* m_threshold = nullptr;
    ValueReadout* m_attack = nullptr;
    ValueReadout* m_release = nullptr;
    ValueReadout* m_ratio = nullptr;
    QComboBox* m_attackList = nullptr;
    QComboBox* m_releaseList = nullptr;
    QComboBox* m_ratioList = nullptr;
    std::array<QLabel*, 4> m_captions{}; // THRESHOLD, ATTACK, RELEASE, RATIO
    PaintedButton* m_drc = nullptr;
    PaintedButton* m_reset = nullptr;
};

} // namespace sonaro::ui
