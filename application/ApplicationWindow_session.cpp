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
    doSetup(true, true);
    return 0;
}

void ApplicationWindow::newSession()
{
    if (!m_sessionStarted)
        return;
    newSession2();
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
    doSetup(true, false);
}

void ApplicationWindow::doSetup(bool showWorkspacePage, bool applyDefaults)
{
    Q_UNUSED(showWorkspacePage);
    Q_UNUSED(applyDefaults);
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

void ApplicationWindow::totalRecall(WId parent, CKAVWrapper* wrapper, const QString& caption,
                                    bool toHardware, bool afterLoad)
{
    Q_UNUSED(parent);
    Q_UNUSED(wrapper);
    Q_UNUSED(caption);
    Q_UNUSED(toHardware);
    Q_UNUSED(afterLoad);
}

void ApplicationWindow::totalRecallAfterLoad()
{
    emit totalRecallAfterLoadRequested();
}

void ApplicationWindow::totalRecallCompClient() {}

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

