// Main window: the Workspace operations (adding, removing, erasing, arranging, renaming,
// context menus, Windows menu) and what the host context object asks of the window.
#include "ApplicationWindow.h"

#include "CAppServer.h"
#include "CKAVWrapper.h"
#include "ClientIUnknown.h"
#include "NS_Utilities.h"
#include "TPrompter.h"

#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QMutexLocker>
#include <QTimer>

#include <cstdlib>

namespace {

const char* const s_msgs[] = {
    "Individual Components must have unique names.\nThis change will be ignored.",
    "Empty name is not allowed.\nThis change will be ignored.",
};

QString caption()
{
    return QString::fromLatin1(ApplicationWindow::kAppName);
}

// The option names a component offers for Ravuz Uzuvuv, with its selection mode; empty
// when the component offers none or the query fails.
QStringList syncOptions(IMPTotalRecall* recall, std::int32_t& selectionMode)
{
    selectionMode = 0;
    if (!recall)
        return {};
    char16_t* text = nullptr;
    const HRESULT result = recall->MPGetSyncOptions(&selectionMode, &text, nullptr, nullptr, nullptr);
    QStringList options;
    if (text) {
        if (result == S_OK)
            options = QString::fromUtf16(text).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        std::free(text);
    }
    return options;
}

} // namespace

ApplicationWindow::TMenuRunner ApplicationWindow::s_menuRunner;

void ApplicationWindow::setMenuRunner(TMenuRunner runner)
{
    s_menuRunner = std::move(runner);
}

QAction* ApplicationWindow::runMenu(QMenu& menu, const QPoint& pos)
{
    if (s_menuRunner)
        return s_menuRunner(&menu, pos);
    return menu.exec(pos);
}

CKAVWrapper* ApplicationWindow::addComponent(const TPlugDescription& plugin, const QString& name)
{
    if (!plugin.bundle || !m_iconView)
        return nullptr;
    auto* wrapper = new CKAVWrapper(this, m_iconView, plugin, name);
    {
        QMutexLocker lock(&m_mutex);
        m_wrappers.append(wrapper);
    }
    IUnknown* host = m_hostContext;
    IMPAsyncOutput* output = m_hostContext ? m_hostContext->asyncOutput() : nullptr;
    if (wrapper->instantiateComponent(host, output)) {
        if (m_hostContext)
            m_hostContext->attachEventFilter(wrapper->eventFilter());
        rearrangeIcons();
        return wrapper;
    }
    {
        QMutexLocker lock(&m_mutex);
        m_wrappers.removeLast();
    }
    delete wrapper;
    return nullptr;
}

void ApplicationWindow::removeComponent(CKAVWrapper* wrapper, QWidget* parent)
{
    MW_ASSERT_TEXT(wrapper, "obj", "application");
    if (!wrapper)
        return;
    const QString text = tr("Are you sure you want to remove \"%1\" component?\n\n"
                            "Pressing Yes will permanently remove it from your Workspace.")
                             .arg(wrapper->componentName());
    if (!NS_Utilities::askYesNo(parent, caption(), text, tr("&Yes"), tr("&No")))
        return;
    CAppServer::PrepareForBusyAction(nullptr);
    QMutexLocker lock(&m_mutex);
    const int index = m_wrappers.indexOf(wrapper);
    if (index < 0)
        return;
    setDocumentDirty(true);
    if (m_hostContext)
        m_hostContext->detachEventFilter(wrapper->eventFilter());
    m_wrappers.removeAt(index);
    wrapper->propPageDestroy(false);
    // Out of the view now, deleted once calls in progress from its editor have returned.
    if (m_iconView)
        m_iconView->takeItem(m_iconView->row(wrapper));
    wrapper->deleteLater();
}

void ApplicationWindow::eraseCurrentDocument()
{
    QMutexLocker lock(&m_mutex);
    for (CKAVWrapper* wrapper : std::as_const(m_wrappers)) {
        if (m_hostContext)
            m_hostContext->detachEventFilter(wrapper->eventFilter());
        wrapper->propPageDestroy(false);
    }
    m_wrappers.clear();
    MW_ASSERT(m_iconView, "application");
    if (m_iconView) {
        m_arrangeEnabled = false;
        m_iconView->clear();
        setIconArrangement(QListView::LeftToRight);
        setIconSorting(false);
        m_arrangeEnabled = true;
    }
    setDocumentDirty(false);
    setDocumentSaved(false);
}

void ApplicationWindow::rearrangeIcons()
{
    if (!m_arrangeEnabled || !m_iconView)
        return;
    QMutexLocker lock(&m_mutex);
    int counter = 0;
    for (CKAVWrapper* wrapper : std::as_const(m_wrappers)) {
        const QString key = m_sorting ? wrapper->componentName() : QString::number(counter++);
        wrapper->setData(kSortKeyRole, key);
    }
    // Keys compare as text, so position ten sorts between one and two.
    QList<CKAVWrapper*> order = m_wrappers;
    std::stable_sort(order.begin(), order.end(), [](CKAVWrapper* a, CKAVWrapper* b) {
        return QString::localeAwareCompare(a->data(kSortKeyRole).toString(),
                                           b->data(kSortKeyRole).toString()) < 0;
    });
    QListWidgetItem* current = m_iconView->currentItem();
    const QList<QListWidgetItem*> selected = m_iconView->selectedItems();
    for (int row = 0; row < order.size(); ++row) {
        if (m_iconView->item(row) == order[row])
            continue;
        m_iconView->takeItem(m_iconView->row(order[row]));
        m_iconView->insertItem(row, order[row]);
    }
    if (current)
        m_iconView->setCurrentItem(current, QItemSelectionModel::NoUpdate);
    for (QListWidgetItem* item : selected)
        item->setSelected(true);
}

void ApplicationWindow::setIconSorting(bool on)
{
    m_sorting = on;
}

int ApplicationWindow::findInstance(const QString& name)
{
    QMutexLocker lock(&m_mutex);
    for (CKAVWrapper* wrapper : std::as_const(m_wrappers))
        if (wrapper->componentName() == name)
            return 1;
    return 0;
}

QList<CKAVWrapper*> ApplicationWindow::wrappers() const
{
    QMutexLocker lock(&m_mutex);
    return m_wrappers;
}

CKAVWrapper* ApplicationWindow::wrapperObject(IUnknown* component)
{
    QMutexLocker lock(&m_mutex);
    for (CKAVWrapper* wrapper : std::as_const(m_wrappers))
        if (wrapper->component() == component)
            return wrapper;
    return nullptr;
}

bool ApplicationWindow::wrapperComponentName(IUnknown* component, QString& name)
{
    QMutexLocker lock(&m_mutex);
    CKAVWrapper* wrapper = wrapperObject(component);
    if (!wrapper)
        return false;
    name = wrapper->componentName();
    return true;
}

QList<IMPEventFilter*> ApplicationWindow::wrapperEventFilters()
{
    QMutexLocker lock(&m_mutex);
    QList<IMPEventFilter*> filters;
    for (CKAVWrapper* wrapper : std::as_const(m_wrappers))
        if (wrapper->eventFilter())
            filters.append(wrapper->eventFilter());
    return filters;
}

void ApplicationWindow::advisePortFree(IUnknown* component)
{
    QMutexLocker lock(&m_mutex);
    if (m_hostContext)
        m_hostContext->advisePortFree(component);
}

void ApplicationWindow::handle_doubleClicked(QListWidgetItem* item)
{
    CKAVWrapper* wrapper = CKAVWrapper::fromItem(item);
    if (!wrapper || !wrapper->isSelected())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    wrapper->propPageShow();
    QApplication::restoreOverrideCursor();
}

void ApplicationWindow::handle_mouseButtonPressed(int button, QListWidgetItem* item, const QPoint& pos)
{
    Q_UNUSED(pos);
    if (!item && button == Qt::LeftButton && m_iconView)
        m_iconView->clearSelection();
}

void ApplicationWindow::handle_contextMenuRequested(QListWidgetItem* item, const QPoint& pos)
{
    if (CKAVWrapper* wrapper = CKAVWrapper::fromItem(item))
        componentMenu(wrapper, pos);
    else if (!item)
        workspaceMenu(pos);
}

void ApplicationWindow::componentMenu(CKAVWrapper* wrapper, const QPoint& pos)
{
    QPointer<CKAVWrapper> guard(wrapper);
    const bool visible = wrapper->isPropPageVisible();
    IMPTotalRecall* recall = wrapper->totalRecall();

    QMenu menu(this);
    menu.setMouseTracking(true);
    QAction* open = menu.addAction(visible ? tr("Show") : tr("Open"));
    QAction* close = menu.addAction(tr("Close"));
    close->setEnabled(visible);
    menu.addSeparator();
    QAction* synchronize = menu.addAction(tr("Synchronize..."));
    synchronize->setEnabled(recall != nullptr);
    QAction* enabled = menu.addAction(tr("Ravuz Uzuvuv Enabled"));
    enabled->setCheckable(true);
    enabled->setChecked(wrapper->recallEnabled());
    enabled->setEnabled(recall != nullptr);

    std::int32_t selectionMode = 0;
    const QStringList options = syncOptions(recall, selectionMode);
    QList<QAction*> optionActions;
    if (!options.isEmpty()) {
        QMenu* configure = menu.addMenu(tr("Configure Ravuz Uzuvuv"));
        const std::uint32_t mask = wrapper->optionMask();
        for (int i = 0; i < options.size(); ++i) {
            QAction* option = configure->addAction(options[i]);
            option->setCheckable(true);
            const std::uint32_t bit = i == 0 ? 0 : (i - 1 < 32 ? 1u << (i - 1) : 0);
            option->setChecked(i == 0 ? mask == 0 : (mask & bit) != 0);
            option->setData(QVariant::fromValue<uint>(bit));
            optionActions.append(option);
        }
    }
    menu.addSeparator();
    QAction* remove = menu.addAction(tr("Remove..."));

    QAction* chosen = runMenu(menu, pos);
    if (!chosen || !guard)
        return;
    if (chosen == open) {
        wrapper->propPageShowByMenu();
    } else if (chosen == close) {
        wrapper->propPageDestroy(false);
    } else if (chosen == synchronize) {
        totalRecall(winId(), wrapper, tr("Confirm Synchronization"), true, false);
    } else if (chosen == enabled) {
        const bool now = !wrapper->recallEnabled();
        if (now != wrapper->recallEnabled()) {
            wrapper->setRecallEnabled(now);
            wrapper->setDisplayIcon();
        }
    } else if (optionActions.contains(chosen)) {
        const std::uint32_t bit = chosen->data().toUInt();
        if (bit == 0)
            wrapper->setOptionMask(0);
        else if (selectionMode < 0)
            wrapper->setOptionMask(wrapper->optionMask() ^ bit);
        else
            wrapper->setOptionMask(bit);
    } else if (chosen == remove) {
        removeComponent(wrapper, this);
        QTimer::singleShot(100, this, &ApplicationWindow::rearrangeIcons);
    }
}

void ApplicationWindow::workspaceMenu(const QPoint& pos)
{
    QMenu menu(this);
    menu.setMouseTracking(true);
    QAction* modify = menu.addAction(tr("Modify Workspace..."));
    QAction* byName = menu.addAction(tr("Arrange by Name"));
    byName->setCheckable(true);
    byName->setChecked(m_sorting);
    menu.addSeparator();
    const bool leftToRight = iconArrangement() == QListView::LeftToRight;
    QAction* ltr = menu.addAction(tr("Left To Right"));
    ltr->setCheckable(true);
    ltr->setChecked(leftToRight);
    QAction* ttb = menu.addAction(tr("Top To Bottom"));
    ttb->setCheckable(true);
    ttb->setChecked(!leftToRight);

    QAction* chosen = runMenu(menu, pos);
    if (chosen == modify) {
        doSetup(true, false);
    } else if (chosen == byName) {
        setDocumentDirty(true);
        setIconSorting(!m_sorting);
        QTimer::singleShot(100, this, &ApplicationWindow::rearrangeIcons);
    } else if (chosen == ltr && !leftToRight) {
        setDocumentDirty(true);
        setIconArrangement(QListView::LeftToRight);
    } else if (chosen == ttb && leftToRight) {
        setDocumentDirty(true);
        setIconArrangement(QListView::TopToBottom);
    }
}

void ApplicationWindow::handle_itemRenamed(QListWidgetItem* item)
{
    CKAVWrapper* wrapper = CKAVWrapper::fromItem(item);
    MW_ASSERT_TEXT(wrapper, "anObject", "application");
    if (!wrapper)
        return;
    const QString text = wrapper->text();
    if (text == wrapper->componentName())
        return;
    const bool taken = findInstance(text) != 0;
    if (!taken && !text.isEmpty()) {
        setDocumentDirty(true);
        wrapper->setComponentName(text);
        rearrangeIcons();
        return;
    }
    NS_Utilities::showWarning(this, caption(), tr(s_msgs[taken ? 0 : 1]));
    wrapper->setText(wrapper->componentName());
}

void ApplicationWindow::windowsMenuAboutToShow()
{
    if (!m_sessionStarted || !m_windowsMenu)
        return;
    m_windowsMenu->clear();
    QAction* main = m_windowsMenu->addAction(tr("Mixwarden"), this, &ApplicationWindow::setAppWindowActive);
    main->setCheckable(true);
    main->setChecked(isWindowActive(this));
    m_windowsMenu->addSeparator();
    for (CKAVWrapper* wrapper : wrappers()) {
        if (!wrapper->isPropPageVisible())
            continue;
        QAction* entry = m_windowsMenu->addAction(wrapper->componentName(), wrapper,
                                                  &CKAVWrapper::propPageShowByMenu);
        entry->setCheckable(true);
        QWidget* editor = wrapper->currentContainer();
        entry->setChecked(editor && editor->isActiveWindow());
    }
}
