#pragma once

// The desktop program as an operator starts it (ui::Desktop, as main() builds it): a data
// directory that is empty at first or that an earlier run left behind, the language it remembers,
// the window shown, nothing prepared in the record. A virtual unit on loopback counts what
// arrives. And a bare core for the windows and dialogs tested on their own. Header-only: only the
// widget tests include it.

#include "support/EventLoop.h"
#include "support/LoopbackPort.h"

#include "mixer/SonaroCore.h"
#include "model/RecordingOperator.h"
#include "ui/Desktop.h"
#include "ui/LoginDialog.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"
#include "ui/ThemedMessageBox.h"
#include "unit/VirtualUnit.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace sonaro::testing {

inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Fills the login dialog once its event loop runs; gives up (Cancel) after a while so that a
// failing test cannot hang.
inline void answerLogin(ui::LoginDialog* dialog, const QString& password, const QString& user = {})
{
    QTimer::singleShot(0, dialog, [dialog, user, password] {
        if (!user.isEmpty()) dialog->nameEdit()->setText(user);
        dialog->passwordEdit()->setText(password);
        dialog->okButton()->click();
    });
    QTimer::singleShot(5000, dialog, &ui::LoginDialog::reject);
}

// A core as the desktop program has it before it connects: link stopped, bound to 127.0.0.1, the
// unit expected on 127.0.0.2, files in a directory of its own, no data.ini read.
struct CoreBench
{
    explicit CoreBench(quint16 port = freeLoopbackPort())
    {
        CoreOptions options;
        options.dataDirectory = dir.path();
        options.readStateFile = false;
        options.bindAddress = QStringLiteral("127.0.0.1");
        options.port = port;
        options.deviceAddress = QStringLiteral("127.0.0.2");
        core = std::make_unique<SonaroCore>(op, options);
        core->table().initialiseAccounts();
    }
    UnitRecord& rec() { return core->table().current(); }

    QTemporaryDir dir;
    RecordingOperator op;
    std::unique_ptr<SonaroCore> core;
};

struct DesktopBenchOptions
{
    QString dataDirectory; // empty: a new, empty one
    bool withUnit = true;
    int unitCount = 1; // a chain of units behind the one address
};

class DesktopBench
{
public:
    explicit DesktopBench(DesktopBenchOptions options = {})
        : path(options.dataDirectory.isEmpty() ? dir.path() : options.dataDirectory),
          port(freeLoopbackPort())
    {
        CoreOptions core;
        core.dataDirectory = path;
        core.bindAddress = kProgramAddress;
        core.port = port; // as ip.ini's host: where units of this site listen
        core.timings = LinkTimings{}.scaled(10);
        core.timings.silenceTimeout = LinkTimings{}.silenceTimeout;
        if (options.withUnit) {
            VirtualUnitOptions unitOptions;
            unitOptions.address = QHostAddress(kUnitAddress);
            unitOptions.port = port;
            unitOptions.statusInterval = 10;
            unitOptions.unitCount = options.unitCount;
            unit = std::make_unique<VirtualUnit>(unitOptions);
        }
        desktop = std::make_unique<ui::Desktop>(core);
    }
    ~DesktopBench()
    {
        if (desktop) desktop->window().hide();
        desktop.reset();
    }

    // The unit and the program; the window shown as the program shows it.
    bool start()
    {
        if (unit && !unit->start()) return false;
        const bool started = desktop->start();
        window().resize(1400, 900);
        window().show();
        QApplication::setActiveWindow(&window());
        return started;
    }

    // Connects as an operator does without a search: the unit's address typed, the login dialog
    // answered; then waits until the unit streams and everything the login asked has come.
    bool connectAs(const QString& user = QStringLiteral("admin"),
                   const QString& password = QStringLiteral("888888"))
    {
        const auto answer = QObject::connect(
            &view(), &ui::MainView::loginDialogOpened,
            [user, password](ui::LoginDialog* dialog) { answerLogin(dialog, password, user); });
        view().connectToAddress(kUnitAddress);
        QObject::disconnect(answer);
        return waitFor([this] { return record().connected && unit->streaming(); }, 4000) &&
               waitIdle();
    }

    // Nothing waits for the unit, and the unit has had a moment to read the datagrams that left
    // last (as LoopbackCore::waitIdle).
    bool waitIdle(int timeoutMs = 5000)
    {
        if (!waitFor([this] { return core().delivery().isIdle(); }, timeoutMs)) return false;
        spin(50);
        return true;
    }

    // The window closed as the operator closes it, and gone.
    bool close()
    {
        window().close();
        return waitFor([this] { return !window().isVisible(); }, 5000);
    }

    // The message box in front, if any.
    static ui::ThemedMessageBox* box()
    {
        return qobject_cast<ui::ThemedMessageBox*>(QApplication::activeModalWidget());
    }

    ui::MainView& view() { return desktop->view(); }
    ui::MainWindow& window() { return desktop->window(); }
    SonaroCore& core() { return desktop->core(); }
    UnitRecord& record() { return core().table().current(); }

    QTemporaryDir dir;
    QString path;
    quint16 port;
    std::unique_ptr<VirtualUnit> unit;
    std::unique_ptr<ui::Desktop> desktop;
};

} // namespace sonaro::testing
