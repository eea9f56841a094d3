// Editor window operations of the component wrapper. Opening an editor page is not hosted
// yet: these keep the wrapper's editor state consistent and close whatever is open.

#include "CKAVWrapper.h"

#include "ApplicationWindow.h"

#include <utility>

namespace {

// Show command that hides a page.
constexpr std::uint32_t kPageHide = 0;

} // namespace

void CKAVWrapper::propPageCreate(const QRect* geometry)
{
    if (!pageClass())
        return;
    if (geometry)
        m_savedGeometry = *geometry;
    propPageCreate2();
}

void CKAVWrapper::propPageCreate2()
{
    // Editor pages are not hosted yet; nothing is opened.
}

bool CKAVWrapper::propPageDeactivate(bool destroying)
{
    if (!m_activePage)
        return true;
    if (m_currentContainer) {
        m_zoomed = m_currentContainer->isMaximized();
        m_currentContainer->hide();
    }
    m_activePage->Show(kPageHide);
    if ((m_type & 0x10) && !destroying) {
        m_keptContainer = std::exchange(m_currentContainer, nullptr);
        return false;
    }
    IPropertyPage* page = std::exchange(m_activePage, nullptr);
    page->Deactivate();
    page->SetObjects(0, nullptr);
    page->Release();
    return true;
}

void CKAVWrapper::propPageDestroy(bool force)
{
    if (force && m_keptContainer)
        m_currentContainer = std::exchange(m_keptContainer, nullptr);
    if (m_currentContainer) {
        propPageDeactivate(force);
        if (m_currentContainer)
            delete m_currentContainer.data();
    } else if (force && m_activePage) {
        // A page without a window must still be let go.
        propPageDeactivate(true);
    }
}

void CKAVWrapper::propPageMove(bool notifyPage)
{
    if (!m_currentContainer || !m_activePage)
        return;
    if (notifyPage) {
        const tagRECT rect{0, 0, m_currentContainer->width(), m_currentContainer->height()};
        m_activePage->Move(&rect);
    }
    if (!m_currentContainer->isMaximized())
        m_savedGeometry = m_currentContainer->geometry();
}

bool CKAVWrapper::isPropPageVisible() const
{
    return !m_currentContainer.isNull();
}

void CKAVWrapper::propPageShow()
{
    if (m_currentContainer)
        setWindowActive(m_currentContainer);
    else
        propPageCreate(nullptr);
}

void CKAVWrapper::propPageShowByMenu()
{
    propPageShow();
}
