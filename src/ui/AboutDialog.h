#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace sonaro::ui {

// Product name, version and the project's page.
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
