#pragma once

#include "LoopbackCore.h"

#include "ui/LanguageSwitcher.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"

#include <memory>

namespace sonaro::testing {

// The desktop program's main window on a started LoopbackCore, in Chinese as the program starts,
// shown at 1400×900. Header-only: only the widget tests, which link the windows, include it.
class LoopbackWindow : public LoopbackCore
{
public:
    explicit LoopbackWindow(LoopbackCoreOptions options = {}) : LoopbackCore(options)
    {
        language = std::make_unique<ui::LanguageSwitcher>(core->table());
        language->load();
        language->setLanguage(Language::Chinese);
        m_started = start();
        view = new ui::MainView(*core);
        window = std::make_unique<ui::MainWindow>(view, *language);
        window->resize(1400, 900);
        window->show();
    }
    ~LoopbackWindow()
    {
        window.reset();
        language->setLanguage(Language::English); // leave the application as other tests expect
    }

    // The unit and the core started (their sockets are bound).
    bool started() const { return m_started; }

    std::unique_ptr<ui::LanguageSwitcher> language;
    ui::MainView* view = nullptr; // owned by the window
    std::unique_ptr<ui::MainWindow> window;

private:
    bool m_started = false;
};

} // namespace sonaro::testing
