#pragma once

#include "mixer/SonaroCore.h"
#include "ui/LanguageSwitcher.h"
#include "ui/MessageBoxOperator.h"

#include <memory>

namespace sonaro::ui {

class MainView;
class MainWindow;

// The desktop program put together as it starts: the operator interface, the core, the
// language (Chinese until the data directory remembers another choice) and the main window.
// The program and the tests that start as an operator does build it alike.
class Desktop
{
public:
    explicit Desktop(const CoreOptions& options);
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // Starts the core in its data directory (whose lock the caller holds), takes the remembered
    // language and builds the window, not shown yet. False when the link could not start.
    bool start();

    SonaroCore& core() { return *m_core; }
    LanguageSwitcher& language() { return m_language; }
    MessageBoxOperator& messages() { return m_messages; }
    // After start().
    MainView& view() { return *m_view; }
    MainWindow& window() { return *m_window; }

private:
    MessageBoxOperator m_messages;
    std::unique_ptr<SonaroCore> m_core;
    LanguageSwitcher m_language;
    MainView* m_view = nullptr; // owned by the window
    std::unique_ptr<MainWindow> m_window;
};

} // namespace sonaro::ui
