#pragma once

#include <QFrame>

class QLabel;
class QLineEdit;
class QPushButton;

namespace sonaro::ui {

// What a program that has never had a unit offers above the strips: search the network, type the
// unit's address, or work offline (names, groups, EQ and presets are kept and sent once
// connected). It says that the strips show the unit's factory values. Working offline folds it to
// one line; it goes once a unit has logged in.
class FirstRunPanel : public QFrame
{
    Q_OBJECT
public:
    explicit FirstRunPanel(QWidget* parent = nullptr);

    QPushButton* searchButton() const { return m_search; }
    QLineEdit* addressEdit() const { return m_address; }
    QPushButton* connectButton() const { return m_connect; }
    QPushButton* offlineButton() const { return m_offline; }
    QLabel* problemLabel() const { return m_problem; }

    // One line: the title and SEARCH... (after WORK OFFLINE).
    void setFolded(bool folded);
    bool isFolded() const { return m_folded; }

    // The typed address was not taken: the field keeps it with a red frame and the reason.
    void refuseAddress(const QString& why);
    void clearRefusal();

signals:
    void searchRequested();
    void addressEntered(const QString& address);
    void offlineChosen();

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void retranslate();

    QLabel* m_title = nullptr;
    QLabel* m_text = nullptr;
    QLabel* m_addressLabel = nullptr;
    QLineEdit* m_address = nullptr;
    QPushButton* m_search = nullptr;
    QPushButton* m_connect = nullptr;
    QPushButton* m_offline = nullptr;
    QLabel* m_problem = nullptr;
    bool m_folded = false;
};

} // namespace sonaro::ui
