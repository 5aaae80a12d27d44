#pragma once

#include "model/GroupTable.h"

#include <QDialog>

#include <array>

namespace sonaro {
class GroupEditor;
}

namespace sonaro::ui {

class PaintedButton;

// The group dialog's window: five group buttons, the ten channel buttons of the first unit, the
// link buttons of the selected group's kind, OK and CANCEL, placed as operators know them
// (scaled). Every click goes to the model; the buttons then show the model's state.
class GroupDialog : public QDialog
{
    Q_OBJECT
public:
    // Multiplies the dialog's client-pixel placements.
    static constexpr double kScale = 1.25;

    // Opens the model (channel captions, every button off).
    explicit GroupDialog(GroupEditor& model, QWidget* parent = nullptr);

    PaintedButton* groupButton(int n) const;          // 1..5
    PaintedButton* channelButton(int serialId) const; // 1..10
    PaintedButton* linkButton(LinkFlag flag) const;
    PaintedButton* okButton() const { return m_ok; }
    PaintedButton* cancelButton() const { return m_cancel; }

    void accept() override;
    void reject() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void sync();
    void retranslate();
    static QRect placed(int x, int y, int width, int height);

    GroupEditor& m_model;
    std::array<PaintedButton*, GroupTable::kSlots> m_groups{};
    std::array<PaintedButton*, kGroupChannels> m_channels{};
    std::array<PaintedButton*, kLinkFlagCount> m_links{};
    PaintedButton* m_ok = nullptr;
    PaintedButton* m_cancel = nullptr;
};

} // namespace sonaro::ui
