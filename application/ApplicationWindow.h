#pragma once
// The main window: owns the Workspace and is the document.

#include "TContextOwner.h"
#include "TDocuSaveLoad.h"
#include "TPlugDescription.h"

#include <QList>
#include <QListView>
#include <QMainWindow>
#include <QRecursiveMutex>
#include <QString>
#include <QWidget>

#include <functional>

class QAction;
class QDataStream;
class QListWidget;
class QListWidgetItem;
class QMenu;
class CKAVWrapper;
class ClientIUnknown;
class SetupDlg;

// Removes everything up to and including the last "/".
void retrieveFileName(QString& path);

class ApplicationWindow : public QMainWindow, public NS_Utilities::TDocuSaveLoad, public TContextOwner
{
    Q_OBJECT
public:
    static constexpr const char* kAppName = "VELMAR Mixwarden";

    ApplicationWindow();
    ~ApplicationWindow() override;

    // Creates and shows the splash screen; null when its image is missing. Caller owns it.
    static class QSplashScreen* splashScreen();

    virtual bool documentDirty() const override;
    virtual void updateDocumentStatus(QString& name) override;
    virtual int saveViaStream(QDataStream& stream, int fileType) override;
    virtual int saveViaStream2(QDataStream& stream, bool quiet, bool keepDirty, bool resetCompChanged);
    virtual int loadViaStream(QDataStream& stream, int fileType) override;
    virtual int loadViaStream2(QDataStream& stream, bool fromComponent);
    virtual const char* hostAppName() const override;
    virtual QString moduleName() const override;

    void updateDocumentCaption();
    int newSession2();

    // Workspace operations.
    CKAVWrapper* addComponent(const TPlugDescription& plugin, const QString& name);
    void removeComponent(CKAVWrapper* wrapper, QWidget* parent);
    int findInstance(const QString& name);
    QList<CKAVWrapper*> wrappers() const;
    // Ravuz Uzuvuv of one component, or of all enabled ones when `wrapper` is null.
    void totalRecall(WId parent, CKAVWrapper* wrapper, const QString& caption, bool toHardware,
                     bool afterLoad);
    // The setup dialog on its Workspace page; with `applyDefaults` the default Workspace is
    // built first and the dialog only shown when that leaves nothing to work with.
    void doSetup(bool showWorkspacePage, bool applyDefaults);

    // Sort key of an icon (the component name, or its Workspace position when unsorted).
    static constexpr int kSortKeyRole = Qt::UserRole + 7;
    // Icon position read from a document.
    static constexpr int kIconPositionRole = Qt::UserRole + 8;

    // How context menus run; tests choose an action instead of a user.
    using TMenuRunner = std::function<QAction*(class QMenu*, const QPoint&)>;
    static void setMenuRunner(TMenuRunner runner);
    bool sessionStarted() const { return m_sessionStarted; }
    QListWidget* iconView() const { return m_iconView; }
    SetupDlg* setupDialog() const { return m_setupDlg; }
    const QString& fileToOpen() const { return m_fileToOpen; }
    ClientIUnknown* hostContext() const { return m_hostContext; }

    // What components reach through the host context object (any thread).
    CKAVWrapper* wrapperObject(IUnknown* component) override;
    bool wrapperComponentName(IUnknown* component, QString& name) override;
    QList<IMPEventFilter*> wrapperEventFilters() override;
    void advisePortFree(IUnknown* component) override;

    // Icon view properties kept in the document.
    bool iconSorting() const { return m_sorting; }
    void setIconSorting(bool on);
    QListView::Flow iconArrangement() const;
    void setIconArrangement(QListView::Flow flow);

public slots:
    void yNewSession();
    void createFromFile(const QString& path);
    void reCreateFromFile();
    void aboutToQuit();
    virtual void eraseCurrentDocument() override;
    void rearrangeIcons();
    virtual void newSession() override;
    void doLoad();
    void doSave();
    void doSaveAs();
    void doSetup();
    void showWarningMsg(QString& text);
    void newDoc();
    void selectedPortsChanged();
    void doRemapPorts();
    void totalRecall();
    void totalRecallAfterLoad();
    void totalRecallCompClient();
    void windowsMenuAboutToShow();
    void setAppWindowActive();
    void doHelp();
    void doHelp(QWidget* parent);
    void about();
    void handle_doubleClicked(QListWidgetItem* item);
    void handle_mouseButtonPressed(int button, QListWidgetItem* item, const QPoint& pos);
    void handle_contextMenuRequested(QListWidgetItem* item, const QPoint& pos);
    void handle_itemRenamed(QListWidgetItem* item);

signals:
    // Emitted when Ravuz Uzuvuv after loading is due (the engine connects here).
    void totalRecallAfterLoadRequested();

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    const TPlugDescription* installedPlugin(const unsigned char clsid[16]);
    QPoint iconPosition(CKAVWrapper* wrapper) const;
    void moveIcon(CKAVWrapper* wrapper, const QPoint& pos);
    void componentMenu(CKAVWrapper* wrapper, const QPoint& pos);
    void workspaceMenu(const QPoint& pos);
    static QAction* runMenu(class QMenu& menu, const QPoint& pos);
    static TMenuRunner s_menuRunner;

    void buildIconView();
    void destructorCleanup();

    bool m_sessionStarted = false;
    QString m_fileToOpen;
    QMenu* m_windowsMenu = nullptr;
    QListWidget* m_iconView = nullptr;
    bool m_arrangeEnabled = true;
    QList<CKAVWrapper*> m_wrappers;
    SetupDlg* m_setupDlg = nullptr;
    bool m_setupConnected = false;
    ClientIUnknown* m_hostContext = nullptr; // one counted reference
    mutable QRecursiveMutex m_mutex;
    TPlugList* m_plugins = nullptr;
    bool m_compChanged = false;
    QString m_loadMessage;
    bool m_sorting = false;
};

void setWindowActive(QWidget* w);
bool isWindowActive(QWidget* w);
