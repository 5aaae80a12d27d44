#pragma once

#include "store/GroupTable.h"

#include <QDialog>

#include <array>

namespace sonaro {
class GroupDialogModel;
}

namespace sonaro::ui {

class CImageButton;

// The group dialog's window: five group buttons, the ten channel buttons of the first unit, the
// link buttons of the selected group's kind, OK and CANCEL, placed as the product places them
// (scaled). Every click goes to the model; the buttons then show the model's state.
class GroupDialog : public QDialog
{
    Q_OBJECT
public:
    // Multiplies the product's client-pixel placements.
    static constexpr double kScale = 1.25;

    // Opens the model (channel captions, every button off).
    explicit GroupDialog(GroupDialogModel& model, QWidget* parent = nullptr);

    CImageButton* groupButton(int n) const;          // 1..5
    CImageButton* channelButton(int serialId) const; // 1..10
    CImageButton* linkButton(LinkFlag flag) const;
    CImageButton* okButton() const { return m_ok; }
    CImageButton* cancelButton() const { return m_cancel; }

    void accept() override;
    void reject() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void sync();
    void retranslate();
    static QRect Placed(int x, int y, int width, int height);

    GroupDialogModel& m_model;
    std::array<CImageButton*, GroupTable::kSlots> m_groups{};
    std::array<CImageButton*, kGroupChannels> m_channels{};
    std::array<CImageButton*, kLinkFlagCount> m_links{};
    CImageButton* m_ok = nullptr;
    CImageButton* m_cancel = nullptr;
};

} // namespace sonaro::ui
