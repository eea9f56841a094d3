// Main window: first session, open-document requests, new sessions and the menu slots.
#include "ApplicationWindow.h"

#include "CAppServer.h"
#include "MIDIDriverChoice.h"
#include "NS_Help.h"
#include "NS_Utilities.h"
#include "SetupDlg.h"
#include "TPrompter.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDataStream>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>

namespace {
int s_iDocumentCounter = 0;

QString caption()
{
    return QString::fromLatin1(ApplicationWindow::kAppName);
}
} // namespace

void ApplicationWindow::yNewSession()
{
    m_sessionStarted = true;

    if (!m_fileToOpen.isEmpty()) {
        const QString path = m_fileToOpen;
        if (!path.endsWith(QStringLiteral(".MWD"), Qt::CaseInsensitive)) {
            NS_Utilities::showCritical(nullptr, caption(),
                                       tr("Could not open '%1' Wrong Format.").arg(path));
        } else {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                NS_Utilities::showCritical(
                    nullptr, caption(),
                    tr("Could not open '%1' for reading: %2")
                        .arg(path, QCoreApplication::translate("QFile", qPrintable(file.errorString()))));
            } else {
                QDataStream stream(&file);
                const int result = loadViaStream(stream, 0);
                file.close();
                if (result == 0) {
                    QString name = path;
                    updateDocumentStatus(name);
                    if (m_setupDlg && m_setupDlg->isAutoSync())
                        QTimer::singleShot(50, this, &ApplicationWindow::totalRecallAfterLoad);
                    return;
                }
            }
        }
    }
    newSession2();
}

void ApplicationWindow::createFromFile(const QString& path)
{
    m_fileToOpen = path;
    if (!m_documentName.isNull())
        reCreateFromFile();
}

void ApplicationWindow::reCreateFromFile()
{
    // A modal dialog or another nested loop is running: the request would pull the
    // document away from under it.
    if (QThread::currentThread()->loopLevel() > 1)
        return;

    setWindowActive(this);

    if (m_documentName == m_fileToOpen && !documentDirty())
        return;
    if (discardCurrentDocument(nullptr, 0) != 0)
        return;
    eraseCurrentDocument();
    QCoreApplication::processEvents();
    setWindowTitle(caption());
    yNewSession();
}

int ApplicationWindow::newSession2()
{
    const int result = discardCurrentDocument(nullptr, 0);
    if (result != 0)
        return result;
    eraseCurrentDocument();
    ++s_iDocumentCounter;
    m_documentName = tr("Untitled ") + QString::number(s_iDocumentCounter);
    updateDocumentCaption();
    // The default Workspace and MIDI ports are applied here by the setup dialog.
    return 0;
}

void ApplicationWindow::newSession()
{
    if (!m_sessionStarted)
        return;
    newSession2();
}

void ApplicationWindow::eraseCurrentDocument()
{
    QMutexLocker lock(&m_mutex);
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
    if (!m_arrangeEnabled)
        return;
}

int ApplicationWindow::findInstance(const QString& name)
{
    Q_UNUSED(name);
    return 0;
}

void ApplicationWindow::setIconSorting(bool on)
{
    m_sorting = on;
    if (m_iconView)
        m_iconView->setSortingEnabled(on);
}

QListView::Flow ApplicationWindow::iconArrangement() const
{
    return m_iconView ? m_iconView->flow() : QListView::LeftToRight;
}

void ApplicationWindow::setIconArrangement(QListView::Flow flow)
{
    if (m_iconView)
        m_iconView->setFlow(flow);
}

void ApplicationWindow::doLoad()
{
    if (!m_sessionStarted)
        return;
    const int result = load(nullptr, 0);
    if (result == 0) {
        if (m_setupDlg && m_setupDlg->isAutoSync())
            QTimer::singleShot(50, this, &ApplicationWindow::totalRecallAfterLoad);
    } else if (result != NS_Utilities::kDocAbort) {
        NS_Utilities::showWarning(nullptr, caption(),
                                  tr("Document \"%1\" failed to load completly?").arg(m_documentName));
    }
}

void ApplicationWindow::doSave()
{
    if (!m_sessionStarted)
        return;
    save(nullptr, 0);
}

void ApplicationWindow::doSaveAs()
{
    if (!m_sessionStarted)
        return;
    saveAs(nullptr, 0);
}

void ApplicationWindow::doSetup()
{
    if (!m_sessionStarted)
        return;
}

void ApplicationWindow::showWarningMsg(QString& text)
{
    NS_Utilities::showWarning(this, caption(), text);
}

void ApplicationWindow::newDoc() {}
void ApplicationWindow::selectedPortsChanged() {}

void ApplicationWindow::doRemapPorts()
{
    if (!m_sessionStarted)
        return;
}

void ApplicationWindow::totalRecall()
{
    if (!m_sessionStarted)
        return;
}

void ApplicationWindow::totalRecallAfterLoad()
{
    emit totalRecallAfterLoadRequested();
}

void ApplicationWindow::totalRecallCompClient() {}

void ApplicationWindow::windowsMenuAboutToShow()
{
    if (!m_sessionStarted || !m_windowsMenu)
        return;
    m_windowsMenu->clear();
    QAction* main = m_windowsMenu->addAction(tr("Mixwarden"), this, &ApplicationWindow::setAppWindowActive);
    main->setCheckable(true);
    main->setChecked(isWindowActive(this));
    m_windowsMenu->addSeparator();
}

void ApplicationWindow::setAppWindowActive()
{
    setWindowActive(this);
}

void ApplicationWindow::doHelp()
{
    if (!m_sessionStarted)
        return;
    doHelp(nullptr);
}

void ApplicationWindow::doHelp(QWidget* parent)
{
    NS_Utilities::ShowHelpDocumentation(parent, QStringLiteral("MW.pdf"), nullptr);
}

void ApplicationWindow::about()
{
    if (!m_sessionStarted)
        return;
    NS_Utilities::showAboutBox(MIDIDriverInUse().description());
}

void ApplicationWindow::handle_doubleClicked(QListWidgetItem* item)
{
    Q_UNUSED(item);
}

void ApplicationWindow::handle_mouseButtonPressed(int button, QListWidgetItem* item, const QPoint& pos)
{
    Q_UNUSED(pos);
    if (!item && button == Qt::LeftButton && m_iconView)
        m_iconView->clearSelection();
}

void ApplicationWindow::handle_contextMenuRequested(QListWidgetItem* item, const QPoint& pos)
{
    Q_UNUSED(item);
    Q_UNUSED(pos);
}

void ApplicationWindow::handle_itemRenamed(QListWidgetItem* item)
{
    Q_UNUSED(item);
}
