// Main window: the Workspace components as the host context object sees them.
#include "ApplicationWindow.h"

#include "ClientIUnknown.h"

#include <QMutexLocker>

CKAVWrapper* ApplicationWindow::wrapperObject(IUnknown* component)
{
    Q_UNUSED(component);
    return nullptr;
}

bool ApplicationWindow::wrapperComponentName(IUnknown* component, QString& name)
{
    Q_UNUSED(component);
    Q_UNUSED(name);
    return false;
}

QList<IMPEventFilter*> ApplicationWindow::wrapperEventFilters()
{
    return {};
}

void ApplicationWindow::advisePortFree(IUnknown* component)
{
    QMutexLocker lock(&m_mutex);
    if (m_hostContext)
        m_hostContext->advisePortFree(component);
}
