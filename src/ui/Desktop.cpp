#include "ui/Desktop.h"

#include "ui/DesktopSettings.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"

namespace sonaro::ui {

Desktop::Desktop(const CoreOptions& options)
    : m_core(std::make_unique<SonaroCore>(m_messages, options)), m_language(m_core->table())
{
    m_messages.attachEventLog(m_core->eventLog());
    m_language.load();
    m_language.setLanguage(DesktopSettings::kDefaultLanguage);
}

Desktop::~Desktop()
{
    m_window.reset();
    m_core.reset();
}

bool Desktop::start()
{
    m_language.rememberIn(
        m_core->dataDirectory().filePath(QString::fromLatin1(DesktopSettings::kFileName)));
    const bool started = m_core->start();
    m_view = new MainView(*m_core);
    m_messages.setParentWidget(m_view);
    m_window = std::make_unique<MainWindow>(m_view, m_language);
    return started;
}

} // namespace sonaro::ui
