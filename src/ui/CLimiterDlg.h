#pragma once

#include "mixer/LimiterEditor.h"
#include "mixer/LinkCommandPort.h"
#include "mixer/SonaroCore.h"

#include <QDialog>

#include <array>

class QComboBox;
class QLabel;

namespace sonaro::ui {

class CImageButton;
class CResponseGraph;
class CValueReadout;

// The limiter editor of one output: the transfer curve with its knee and end-point handles, the
// threshold / attack / release / ratio read-outs, the attack, release and ratio lists, the DRC
// button and RESET. Modal: the output strip runs it with exec().
class CLimiterDlg : public QDialog
{
    Q_OBJECT

public:
    CLimiterDlg(SonaroCore& core, int output, QWidget* parent = nullptr);

    LimiterEditor& editor() { return m_editor; }

    CResponseGraph* graph() const { return m_graph; }
    CValueReadout* thresholdReadout() const { return m_threshold; }
    CValueReadout* attackReadout() const { return m_attack; }
    CValueReadout* releaseReadout() const { return m_release; }
    CValueReadout* ratioReadout() const { return m_ratio; }
    QComboBox* attackList() const { return m_attackList; }
    QComboBox* releaseList() const { return m_releaseList; }
    QComboBox* ratioList() const { return m_ratioList; }
    CImageButton* drcButton() const { return m_drc; }
    CImageButton* resetButton() const { return m_reset; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void refresh();
    void retranslate();

    SonaroCore& m_core;
    LinkCommandPort m_port;
    LimiterEditor m_editor;

    CResponseGraph* m_graph = nullptr;
    CValueReadout* m_threshold = nullptr;
    CValueReadout* m_attack = nullptr;
    CValueReadout* m_release = nullptr;
    CValueReadout* m_ratio = nullptr;
    QComboBox* m_attackList = nullptr;
    QComboBox* m_releaseList = nullptr;
    QComboBox* m_ratioList = nullptr;
    std::array<QLabel*, 4> m_captions{}; // THRESHOLD, ATTACK, RELEASE, RATIO
    CImageButton* m_drc = nullptr;
    CImageButton* m_reset = nullptr;
};

} // namespace sonaro::ui
