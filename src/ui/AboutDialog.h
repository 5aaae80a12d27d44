#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace sonaro::ui {

// The program's name, its version (the project version) and what it is for.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();

    QLabel* m_version = nullptr;
    QLabel* m_link = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace sonaro::ui
