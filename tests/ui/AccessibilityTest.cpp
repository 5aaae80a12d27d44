// Every control can be reached and named: assistive technology finds a name (and a value) for
// each one, and the keyboard focus shows on every face.

#include "DesktopBench.h"

#include "ui/GroupDialog.h"
#include "ui/GroupTabBar.h"
#include "ui/InputEqWindow.h"
#include "ui/LimiterWindow.h"
#include "ui/OutputEqWindow.h"
#include "ui/SearchDialog.h"
#include "ui/kit/Fader.h"
#include "ui/kit/Knob.h"
#include "ui/kit/MatrixGrid.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/ResponseGraph.h"
#include "ui/kit/Theme.h"
#include "ui/kit/ValueReadout.h"

#include "mixer/GroupEditor.h"
#include "ui/EventLogDock.h"

#include <QAccessible>
#include <QComboBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QSlider>
#include <QStyle>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace sonaro;
using namespace sonaro::testing;
using namespace sonaro::ui;

namespace {

// Roles an operator acts on or reads a value from.
bool interactive(QAccessibleInterface* node)
{
    switch (node->role()) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::Slider:
    case QAccessible::Dial:
    case QAccessible::SpinBox:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::PageTab:
    case QAccessible::ProgressBar:
        return true;
    default:
        return node->state().focusable;
    }
}

QString describe(QAccessibleInterface* node)
{
    QObject* object = node->object();
    QString path = object ? QString::fromLatin1(object->metaObject()->className()) : "cell";
    for (QAccessibleInterface* up = node->parent(); up && up->object(); up = up->parent())
        if (!up->object()->objectName().isEmpty()) {
            path = up->object()->objectName() + "/" + path;
            break;
        }
    return path;
}

// Every visible interactive node without a name, and every value control without a value;
// counts the interactive nodes seen.
int findUnnamed(QAccessibleInterface* node, QStringList& faults, int depth = 0)
{
    if (!node || !node->isValid() || depth > 60 || node->state().invisible) return 0;
    int seen = interactive(node) ? 1 : 0;
    if (seen && node->text(QAccessible::Name).trimmed().isEmpty())
        faults << describe(node) + " has no name";
    if (node->valueInterface() && node->text(QAccessible::Value).isEmpty() &&
        node->role() != QAccessible::ScrollBar)
        faults << describe(node) + " has no value";
    for (int i = 0; i < node->childCount(); ++i)
        seen += findUnnamed(node->child(i), faults, depth + 1);
    return seen;
}

template <typename T> void whenModal(const std::function<void(T*)>& body)
{
    QTimer::singleShot(50, [body] {
        if (T* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) body(dialog);
    });
}

// WCAG's contrast ratio of two colours.
double contrast(QRgb a, QRgb b)
{
    const auto luminance = [](QRgb c) {
        const auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

TEST(Accessibility, EveryControlOfEveryWindowHasANameInBothLanguages)
{
    DesktopBench b;
    ASSERT_TRUE(b.start());
    ASSERT_TRUE(b.connectAs());
    b.window().eventLogDock()->show();
    for (Language language : {Language::Chinese, Language::English}) {
        b.desktop->language().setLanguage(language);
        QCoreApplication::processEvents();
        const auto check = [&](QWidget* window, const char* what) {
            QCoreApplication::processEvents();
            QStringList faults;
            const int seen = findUnnamed(QAccessible::queryAccessibleInterface(window), faults);
            EXPECT_GE(seen, 10) << what << ": the walk reaches the controls";
            EXPECT_TRUE(faults.isEmpty()) << what << ": " << faults.join("; ").toStdString();
        };
        b.view().showChannelsPage();
        check(&b.window(), "channels");
        b.view().showMatrixPage();
        check(&b.window(), "matrix");
        b.view().showSystemPage();
        check(&b.window(), "system");
        b.view().showChannelsPage();
        b.view().openInputEq(2);
        check(b.view().inputEqEditor(), "input EQ");
        b.view().inputEqEditor()->hide();
        b.view().openOutputEq(1);
        check(b.view().outputEqEditor(), "output EQ");
        b.view().outputEqEditor()->hide();
        whenModal<LimiterWindow>([&](LimiterWindow* limiter) {
            check(limiter, "limiter");
            limiter->reject();
        });
        b.view().openLimiter(0);
        whenModal<GroupDialog>([&](GroupDialog* groups) {
            groups->groupButton(1)->click();
            check(groups, "groups");
            groups->reject();
        });
        b.view().openGroupDialog();
        SearchDialog search(b.core());
        search.show();
        check(&search, "search");
    }
    b.desktop->language().setLanguage(Language::English);
}

// The focus ring differs from the face under it by at least 3:1 on a length of the control's
// outline, whatever the face: dark, or lit in any of the strips' colours; for the painted
// controls and for the standard ones alike.
TEST(Accessibility, TheFocusRingShowsOnEveryFace)
{
    QApplication* app = qApp;
    const QString previousStyle = app->style()->name();
    const QPalette previousPalette = app->palette();
    const QFont previousFont = app->font();
    Theme::applyTo(*app);
    const Theme& theme = Theme::instance();

    QWidget host;
    auto* row = new QHBoxLayout(&host);
    std::vector<std::pair<QWidget*, QString>> controls;
    const auto add = [&](QWidget* w, const QString& what) {
        row->addWidget(w);
        controls.emplace_back(w, what);
    };
    for (const QColor& lit :
         {theme.muteRed, theme.priorityAmber, theme.activeGreen, theme.accent, theme.phantomRed}) {
        auto* button = new PaintedButton(QStringLiteral("MUTE"));
        button->setCheckable(true);
        button->setChecked(true);
        button->setCheckedColour(lit);
        button->setMinimumSize(90, 30);
        add(button, "lit " + lit.name());
    }
    add(new PaintedButton(QStringLiteral("PRIORITY")), "dark button");
    auto* fader = new Fader;
    fader->useGainScale();
    fader->setMinimumSize(64, 200);
    add(fader, "fader");
    auto* knob = new Knob;
    knob->setRange(0, 100);
    add(knob, "knob");
    auto* readout = new ValueReadout;
    readout->setMinimumSize(84, 24);
    add(readout, "read-out");
    auto* grid = new MatrixGrid;
    grid->setMinimumSize(900, 400);
    add(grid, "matrix");
    auto* curve = new ResponseGraph;
    curve->setCompact(true);
    curve->setMinimumSize(100, 46);
    add(curve, "strip curve");
    auto* tabs = new GroupTabBar;
    tabs->addTab(QStringLiteral("SINGLE"));
    tabs->addTab(QStringLiteral("GROUP  1"));
    add(tabs, "group tabs");
    add(new QPushButton(QStringLiteral("OK")), "push button");
    add(new QLineEdit(QStringLiteral("192.168.1.100")), "line edit");
    auto* combo = new QComboBox;
    combo->addItems({QStringLiteral("1"), QStringLiteral("2")});
    add(combo, "combo box");
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setMinimumWidth(120);
    add(slider, "slider");
    auto* list = new QListWidget;
    list->addItems({QStringLiteral("Input0"), QStringLiteral("Input1")});
    list->setCurrentRow(0);
    list->setMaximumHeight(60);
    add(list, "list");
    host.show();
    QApplication::setActiveWindow(&host);
    QCoreApplication::processEvents();

    for (const auto& [w, what] : controls) {
        SCOPED_TRACE(what.toStdString());
        w->clearFocus();
        QCoreApplication::processEvents();
        const QImage plain = w->grab().toImage();
        w->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(w->hasFocus());
        QCoreApplication::processEvents();
        const QImage focused = w->grab().toImage();

        ASSERT_EQ(plain.size(), focused.size());
        int visible = 0;
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < plain.width(); ++x)
                if (contrast(plain.pixel(x, y), focused.pixel(x, y)) >= 3.0) ++visible;
        // A ring around even the smallest control is a few hundred pixels.
        EXPECT_GE(visible, 150);
        w->clearFocus();
    }

    app->setStyle(previousStyle);
    app->setPalette(previousPalette);
    app->setFont(previousFont);
}
