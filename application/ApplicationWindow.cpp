// Main window: construction, menus, icon view, caption, closing and tear-down.
#include "ApplicationWindow.h"

#include "CAppServer.h"
#include "CKAVWrapper.h"
#include "ClientIUnknown.h"
#include "KAVDiscovery.h"
#include "MIDIDriverChoice.h"
#include "NS_Help.h"
#include "NS_Images.h"
#include "NS_Utilities.h"
#include "SetupDlg.h"
#include "TGuiThread.h"
#include "TIconViewDelegate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QMutexLocker>
#include <QPainter>
#include <QSplashScreen>
#include <QStatusBar>
#include <QThread>
#include <QVBoxLayout>

void retrieveFileName(QString& path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash >= 0)
        path.remove(0, slash + 1);
}

QSplashScreen* ApplicationWindow::splashScreen()
{
    QString name = QStringLiteral("HostSplash.png");
    const QPixmap pixmap = NS_Utilities::loadPixmap(name, nullptr);
    if (pixmap.isNull())
        return nullptr;
    auto* splash = new QSplashScreen(pixmap);
    splash->show();
    return splash;
}

ApplicationWindow::ApplicationWindow()
    : QMainWindow(nullptr)
    , NS_Utilities::TDocuSaveLoad()
{
    setGuiThreadIfUnset(QThread::currentThread());

    RegisterExtension(QStringLiteral(".MWD"), QString::fromLatin1(kAppName) + QStringLiteral(" Document"));

    m_hostContext = KAVNewObject<ClientIUnknown>(nullptr, IID_IUnknown, false);
    MW_ASSERT(m_hostContext, "application");
    if (m_hostContext)
        m_hostContext->setOwner(this);

    m_setupDlg = new SetupDlg(nullptr, nullptr, false,
                              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                  Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    MW_ASSERT(m_setupDlg, "application");
    if (m_setupDlg)
        connect(m_setupDlg, &SetupDlg::doHelp, this, qOverload<QWidget*>(&ApplicationWindow::doHelp));

    buildMenus();
    buildIconView();
    // Which MIDI service is in use, so nobody wonders why no hardware port shows up.
    auto* midiService = new QLabel(MIDIDriverInUse().description(), statusBar());
    midiService->setObjectName(QStringLiteral("midiServiceLabel"));
    statusBar()->addWidget(midiService);

    connect(qApp, &QCoreApplication::aboutToQuit, this, &ApplicationWindow::aboutToQuit);
}

void ApplicationWindow::buildMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&New"), QKeySequence(Qt::CTRL | Qt::Key_N), this, &ApplicationWindow::newSession);
    file->addAction(tr("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O), this, &ApplicationWindow::doLoad);
    file->addAction(tr("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S), this, &ApplicationWindow::doSave);
    file->addAction(tr("Save As..."), this, &ApplicationWindow::doSaveAs);
    file->addSeparator();
    file->addAction(tr("Setup..."), this, qOverload<>(&ApplicationWindow::doSetup));
    file->addAction(tr("Re-map MIDI Ports..."), this, &ApplicationWindow::doRemapPorts);
    file->addSeparator();
    file->addAction(tr("Exit"), QKeySequence(Qt::CTRL | Qt::Key_Q), this, &QWidget::close);

    QMenu* sync = menuBar()->addMenu(tr("&Synchronize"));
    sync->addAction(tr("&Ravuz Uzuvuv..."), this, qOverload<>(&ApplicationWindow::totalRecall));

    m_windowsMenu = menuBar()->addMenu(tr("&Windows"));
    connect(m_windowsMenu, &QMenu::aboutToShow, this, &ApplicationWindow::windowsMenuAboutToShow);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("Manual"), QKeySequence(Qt::Key_F1), this, qOverload<>(&ApplicationWindow::doHelp));
    help->addSeparator();
    help->addAction(tr("&About VELMAR Mixwarden"), this, &ApplicationWindow::about);
}

void ApplicationWindow::buildIconView()
{
    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    setCentralWidget(frame);

    m_iconView = new QListWidget(frame);
    MW_ASSERT(m_iconView, "application");
    if (!m_iconView)
        return;
    layout->addWidget(m_iconView);
    m_iconView->setObjectName(QStringLiteral("m_iconView"));
    m_iconView->setViewMode(QListView::IconMode);
    auto* delegate = new TIconViewDelegate(m_iconView);
    m_iconView->setItemDelegate(delegate);
    connect(delegate, &TIconViewDelegate::itemRenamed, this, [this](const QModelIndex& index) {
        handle_itemRenamed(m_iconView->item(index.row()));
    });
    m_iconView->setMovement(QListView::Static);
    m_iconView->setWordWrap(false);
    m_iconView->setResizeMode(QListView::Adjust);
    m_iconView->setFlow(QListView::LeftToRight);
    m_iconView->setWrapping(true);
    m_iconView->setIconSize(QSize(96, 96));
    m_iconView->setSpacing(8);
    m_iconView->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    m_iconView->setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette pal = m_iconView->palette();
    pal.setColor(QPalette::Base, QColor(102, 105, 124));
    pal.setColor(QPalette::Window, QColor(102, 105, 124));
    m_iconView->setPalette(pal);
    m_iconView->setAutoFillBackground(true);

    connect(m_iconView, &QListWidget::itemDoubleClicked, this, &ApplicationWindow::handle_doubleClicked);
    connect(m_iconView, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        // Return on an item; a double click is already delivered by itemDoubleClicked.
        if (!(QApplication::mouseButtons() & Qt::LeftButton))
            handle_doubleClicked(item);
    });
    connect(m_iconView, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        handle_contextMenuRequested(m_iconView->itemAt(pos), m_iconView->viewport()->mapToGlobal(pos));
    });
    m_iconView->viewport()->installEventFilter(this);
    m_iconView->show();
}

bool ApplicationWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (m_iconView && watched == m_iconView->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(event);
        const QPoint pos = me->position().toPoint();
        handle_mouseButtonPressed(int(me->button()), m_iconView->itemAt(pos), m_iconView->viewport()->mapToGlobal(pos));
    }
    return QMainWindow::eventFilter(watched, event);
}

ApplicationWindow::~ApplicationWindow()
{
    QMutexLocker lock(&m_mutex);
    destructorCleanup();
    eraseCurrentDocument();
    if (m_iconView)
        m_iconView->viewport()->removeEventFilter(this);
    delete m_iconView;
    m_iconView = nullptr;
    delete m_setupDlg;
    m_setupDlg = nullptr;
    DisposeEnumKAVPlugins(m_plugins);
}

void ApplicationWindow::destructorCleanup()
{
    QMutexLocker lock(&m_mutex);
    if (m_hostContext) {
        // Late callbacks from components must find no window.
        m_hostContext->setOwner(nullptr);
        m_hostContext->Release();
        m_hostContext = nullptr;
    }
}

const char* ApplicationWindow::hostAppName() const
{
    return kAppName;
}

QString ApplicationWindow::moduleName() const
{
    return QString::fromLatin1(kAppName);
}

void ApplicationWindow::updateDocumentCaption()
{
    QMutexLocker lock(&m_mutex);
    MW_ASSERT(!m_documentName.isEmpty(), "application");
    QString name = m_documentName;
    retrieveFileName(name);
    setWindowTitle(name + QStringLiteral(" - ") + QString::fromLatin1(kAppName));
}

void ApplicationWindow::updateDocumentStatus(QString& name)
{
    m_documentName = name;
    setDocumentDirty(false);
    setDocumentSaved(true);
    updateDocumentCaption();
}

bool ApplicationWindow::documentDirty() const
{
    if (TDocuSaveLoad::documentDirty())
        return true;
    // A component that reports unsaved data makes the document dirty until the next save,
    // load or erase.
    for (CKAVWrapper* wrapper : wrappers()) {
        IPersistStream* stream = wrapper->getPersistStream();
        if (stream && stream->IsDirty() == S_OK) {
            markDocumentDirty();
            break;
        }
    }
    return TDocuSaveLoad::documentDirty();
}

void ApplicationWindow::closeEvent(QCloseEvent* e)
{
    MW_ASSERT(e, "application");
    if (!e)
        return;
    if (discardCurrentDocument(nullptr, 0) != 0) {
        e->ignore();
        return;
    }
    CAppServer::PrepareForBusyAction(nullptr);
    eraseCurrentDocument();
    QCoreApplication::processEvents();
    e->accept();
}

void ApplicationWindow::aboutToQuit()
{
    DisposeEnumKAVPlugins(m_plugins);
}

void setWindowActive(QWidget* w)
{
    if (!w)
        return;
    if (w->isMinimized()) {
        if (w->isMaximized())
            w->showMaximized();
        else
            w->showNormal();
    } else {
        w->activateWindow();
        w->raise();
    }
}

bool isWindowActive(QWidget* w)
{
    if (!w || w->isMinimized())
        return false;
    return w->isActiveWindow();
}
