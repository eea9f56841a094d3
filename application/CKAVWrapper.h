#pragma once
// One component of the Workspace: its icon in the main window's icon view and the owner of
// the component instance with every interface pointer the host uses on it.

#include <kav/KAVInterfaces.h>

#include <QListWidgetItem>
#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <cstdint>

class ApplicationWindow;
class ClientIUnknown;
class QListWidget;
class TBundle;
struct TPlugDescription;

// What the wrapper needs of its Ravuz Uzuvuv worker; the synchronization engine's
// TSyncThread derives from it.
class TSyncWorker : public QThread
{
public:
    using QThread::QThread;
    // Asks the running transfer to stop and keeps `code` as its result.
    virtual void terminateSync(long code) = 0;
};

class CKAVWrapper : public QObject, public QListWidgetItem
{
    Q_OBJECT
public:
    // Item type of wrappers in the icon view.
    static constexpr int Type = QListWidgetItem::UserType + 0x4B;
    // Cancel code of Ravuz Uzuvuv.
    static constexpr long kSyncCancelled = 1223;

    // The icon item is put into `view` (which then owns the wrapper) with `name` as its text.
    CKAVWrapper(ApplicationWindow* window, QListWidget* view, const TPlugDescription& description,
                const QString& name);
    ~CKAVWrapper() override;

    // The wrapper behind an icon view item, or null when the item is something else.
    static CKAVWrapper* fromItem(QListWidgetItem* item);

    // Creates and connects the component. `host` is the host context object, `output` its
    // asynchronous output part. False when the component cannot be created or connected;
    // the caller then deletes the wrapper.
    bool instantiateComponent(IUnknown* host, IMPAsyncOutput* output);

    // Shows the icon that matches the Ravuz Uzuvuv enabled flag.
    void setDisplayIcon();
    // Renames the component; an empty name is ignored.
    void setComponentName(const QString& name);
    // The component's persistent-stream interface (the wrapper keeps the reference), or null.
    IPersistStream* getPersistStream();
    // Text for a component result code: the component's own text when it gives one, else
    // the code in signed decimal.
    QString translateErrorCode(std::int32_t code) const;
    // Makes `thread` the Ravuz Uzuvuv worker, deleting the previous one.
    void associate(TSyncWorker* thread);

    // --- editor window --------------------------------------------------------------------
    void propPageCreate(const QRect* geometry);
    void propPageCreate2();
    bool propPageDeactivate(bool destroying);
    void propPageDestroy(bool force);
    void propPageMove(bool notifyPage);
    bool isPropPageVisible() const;

    // --- read access for the main window, documents, editors and Ravuz Uzuvuv ---------------
    ApplicationWindow* window() const { return m_window; }
    std::int32_t type() const { return m_type; }
    const QString& pluginName() const { return m_pluginName; }
    const QString& descriptionIcon() const { return m_descriptionIcon; }
    const CFUUIDBytes& classID() const { return m_clsid; }
    TBundle* bundle() const { return m_bundle; }
    const QString& componentName() const { return m_componentName; }
    // Icon 0 is shown while Ravuz Uzuvuv is disabled, icon 1 while it is enabled.
    const QUrl& iconLocation(int which) const { return m_icons[which ? 1 : 0]; }

    IMPInitialise* initialise() const { return m_initialise; }
    IUnknown* component() const { return m_component; }
    IMPEventFilter* eventFilter() const { return m_eventFilter; }
    IMPTotalRecall* totalRecall() const { return m_totalRecall; }

    bool recallEnabled() const { return m_recallEnabled; }
    // Only changes the flag; the caller redraws with setDisplayIcon().
    void setRecallEnabled(bool enabled) { m_recallEnabled = enabled; }
    std::uint32_t optionMask() const { return m_optionMask.load(std::memory_order_relaxed); }
    void setOptionMask(std::uint32_t mask) { m_optionMask.store(mask, std::memory_order_relaxed); }

    QPointer<QWidget>& progress() { return m_progress; }
    TSyncWorker* syncThread() const { return m_syncThread; }

    // The editor's page class (the first identifier GetPages gave), or null for none.
    const CFUUIDBytes* pageClass() const { return m_pages.count ? m_pages.elems : nullptr; }

    IPropertyPage* activePage() const { return m_activePage; }
    QMainWindow* currentContainer() const { return m_currentContainer; }
    QMainWindow* keptContainer() const { return m_keptContainer; }
    const QRect& savedGeometry() const { return m_savedGeometry; }
    void setSavedGeometry(const QRect& geometry) { m_savedGeometry = geometry; }
    bool zoomed() const { return m_zoomed; }

public slots:
    // Asks the running worker to stop with the cancel code; nothing without a worker.
    void cancelSynchronization();
    void propPageShow();
    void propPageShowByMenu();

private:
    void takePages(ISpecifyPropertyPages* pages);
    void freePages();

    ApplicationWindow* m_window;
    std::int32_t m_type;
    QString m_pluginName;
    QString m_descriptionIcon;
    CFUUIDBytes m_clsid;
    TBundle* m_bundle;
    QString m_componentName;
    QUrl m_icons[2];
    IMPInitialise* m_initialise = nullptr;
    IUnknown* m_component = nullptr;
    IPersistStream* m_persistStream = nullptr;
    IMPEventFilter* m_eventFilter = nullptr;
    IMPTotalRecall* m_totalRecall = nullptr;
    bool m_recallEnabled = false;
    std::atomic<std::uint32_t> m_optionMask{0}; // read by the worker thread
    QPointer<QWidget> m_progress;
    TSyncWorker* m_syncThread = nullptr;
    tagCAUUID m_pages{0, nullptr}; // count is 0 or 1: only the editor's class is kept

    // Editor state.
    IPropertyPage* m_activePage = nullptr;
    QPointer<QMainWindow> m_currentContainer;
    QPointer<QMainWindow> m_keptContainer;
    QRect m_savedGeometry; // invalid: left 0, top 0, right -1, bottom -1
    bool m_zoomed = false;

    // The host context object the component was connected to (counted), for freeing the
    // port usages the component advised; null when the host is of another kind.
    IUnknown* m_host = nullptr;
    ClientIUnknown* m_hostContext = nullptr;
};
