#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace sonaro::ui {

// The "Name" dialog of a strip: the edit box starts with the strip's current name. Any text is
// accepted, the empty one too; the caller stores it.
class NameDialog : public QDialog
{
    Q_OBJECT
public:
    explicit NameDialog(const QString& current, QWidget* parent = nullptr);

    QString text() const;
    QLineEdit* editor() const { return m_edit; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();

    QLabel* m_label = nullptr;
    QLineEdit* m_edit = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace sonaro::ui
