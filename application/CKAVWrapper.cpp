#include "CKAVWrapper.h"

#include "ClientIUnknown.h"
#include "CreateIUnknown.h"
#include "NS_Images.h"
#include "NS_Utilities.h"
#include "TBundle.h"
#include "TPlugDescription.h"

#include <kav/KAVHelpers.h>

#include <QIcon>
#include <QListWidget>
#include <QPixmap>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

constexpr const char* kSource = "CKAVWrapper";

// Flags word handed to MPConnect.
constexpr std::uint32_t kConnectFlags = 0x40;

// A counted interface of `object`, or null. A component that reports success without an
// object, or fails and leaves something behind, counts as not answering.
template <class T>
T* queryInterface(IUnknown* object, const CFUUIDBytes& iid = T::iid)
{
    if (!object)
        return nullptr;
    void* answer = nullptr;
    const HRESULT hr = object->QueryInterface(iid, &answer);
    return SUCCEEDED(hr) ? static_cast<T*>(answer) : nullptr;
}

template <class T>
void releaseInterface(T*& pointer)
{
    if (T* held = std::exchange(pointer, nullptr))
        held->Release();
}

// Converts a string a component handed over and frees it.
QString takeString(char16_t*& text)
{
    QString result;
    if (text) {
        result = QString::fromUtf16(text);
        std::free(std::exchange(text, nullptr));
    }
    return result;
}

} // namespace

CKAVWrapper::CKAVWrapper(ApplicationWindow* window, QListWidget* view, const TPlugDescription& description,
                         const QString& name)
    : QObject(nullptr)
    , QListWidgetItem(name, view, Type)
    , m_window(window)
    , m_type(description.type)
    , m_pluginName(description.name)
    , m_descriptionIcon(description.iconURL)
    , m_clsid(description.clsid)
    , m_bundle(description.bundle)
    , m_componentName(name)
{
    if (m_bundle)
        m_bundle->retain();
    // Renamed in place; never dragged or dropped.
    setFlags((flags() | Qt::ItemIsEditable) & ~(Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled));
}

CKAVWrapper::~CKAVWrapper()
{
    propPageDestroy(true);

    // Normally done by the main window before the wrapper goes; repeating it is harmless
    // and keeps input endpoints from calling a filter that is about to be released.
    if (m_hostContext && m_eventFilter)
        m_hostContext->detachEventFilter(m_eventFilter);

    if (m_initialise)
        m_initialise->MPDisconnect();

    if (m_hostContext && m_component)
        m_hostContext->advisePortFree(m_component);

    freePages();

    m_progress.clear();
    m_currentContainer.clear();
    m_keptContainer.clear();

    releaseInterface(m_totalRecall);
    releaseInterface(m_eventFilter);
    releaseInterface(m_persistStream);
    releaseInterface(m_component);
    releaseInterface(m_initialise);

    m_hostContext = nullptr;
    releaseInterface(m_host);
    if (m_bundle)
        std::exchange(m_bundle, nullptr)->release();
}

CKAVWrapper* CKAVWrapper::fromItem(QListWidgetItem* item)
{
    return item && item->type() == Type ? static_cast<CKAVWrapper*>(item) : nullptr;
}

bool CKAVWrapper::instantiateComponent(IUnknown* host, IMPAsyncOutput* output)
{
    IUnknown* created = CreateIUnknown(IID_IMPInitialise, m_clsid);
    releaseInterface(m_component);
    m_component = created;
    if (!m_component) {
        COMPRINTF("Failed to create instance.");
        return false;
    }

    releaseInterface(m_initialise);
    m_initialise = queryInterface<IMPInitialise>(m_component);
    if (!m_initialise) {
        COMPRINTF("Failed to get interface.");
        return false;
    }

    // Kept from here on: a component may advise port usages while it connects.
    if (host != m_host) {
        if (host)
            host->AddRef();
        releaseInterface(m_host);
        m_host = host;
        m_hostContext = dynamic_cast<ClientIUnknown*>(host);
    }

    std::uint32_t flags = kConnectFlags;
    if (FAILED(m_initialise->MPConnect(host, output, MPINIT_NORMAL, 0, &flags)))
        return false;

    if (auto* pages = queryInterface<ISpecifyPropertyPages>(m_component)) {
        takePages(pages);
        pages->Release();
    } else {
        COMPRINTF("KAV Component doesn't support ISpecifyPropertyPages Interface?");
    }

    releaseInterface(m_eventFilter);
    m_eventFilter = queryInterface<IMPEventFilter>(m_component);

    releaseInterface(m_totalRecall);
    m_totalRecall = queryInterface<IMPTotalRecall>(m_component);
    if (!m_totalRecall)
        m_totalRecall = queryInterface<IMPTotalRecall>(m_component, IID_IMPTotalRecallEarlier);

    if (m_totalRecall) {
        char16_t* first = nullptr;
        char16_t* second = nullptr;
        const HRESULT hr = m_totalRecall->MPGetIconURLs(&first, &second);
        if (hr == S_OK) {
            if (first)
                m_icons[0] = QUrl(takeString(first));
            if (second)
                m_icons[1] = QUrl(takeString(second));
        } else if (SUCCEEDED(hr)) {
            // Not used, but the strings are ours to free. After a failure they may be
            // anything, so they are left alone.
            takeString(first);
            takeString(second);
        }
        m_recallEnabled = true;

        std::int32_t mask = 0;
        if (m_totalRecall->MPGetSyncOptions(nullptr, nullptr, nullptr, nullptr, &mask) != S_OK)
            mask = 0;
        setOptionMask(static_cast<std::uint32_t>(mask));
    } else {
        m_icons[0] = QUrl(m_descriptionIcon);
    }

    setDisplayIcon();
    return true;
}

void CKAVWrapper::takePages(ISpecifyPropertyPages* pages)
{
    freePages();
    tagCAUUID list{0, nullptr};
    if (FAILED(pages->GetPages(&list)))
        return; // whatever was left in the record may be garbage
    if (list.count > 0 && list.elems) {
        // Only the first class is ever used (the editor's); a count beyond what was
        // really allocated must never be trusted.
        m_pages.count = 1;
        m_pages.elems = list.elems;
    } else {
        std::free(list.elems);
    }
}

void CKAVWrapper::freePages()
{
    std::free(m_pages.elems);
    m_pages = {0, nullptr};
}

void CKAVWrapper::setDisplayIcon()
{
    const bool enabled = m_recallEnabled;
    QString path = m_icons[enabled ? 1 : 0].path(QUrl::FullyDecoded);
    QPixmap pixmap;
    if (!path.isEmpty()) {
        const QString asGiven; // the location is complete, not relative to the image folder
        pixmap = NS_Utilities::loadPixmap(path, &asGiven);
    }
    if (pixmap.isNull()) {
        QString builtIn = enabled ? QStringLiteral("Generic_02.png") : QStringLiteral("Generic_01.png");
        pixmap = NS_Utilities::loadPixmap(builtIn);
    }
    if (!pixmap.isNull())
        setIcon(QIcon(pixmap));
}

void CKAVWrapper::setComponentName(const QString& name)
{
    if (name.isEmpty())
        return;
    m_componentName = name;
    setText(name);
    if (m_currentContainer)
        m_currentContainer->setWindowTitle(name);
}

IPersistStream* CKAVWrapper::getPersistStream()
{
    if (!m_persistStream && m_component)
        m_persistStream = queryInterface<IPersistStream>(m_component);
    return m_persistStream;
}

QString CKAVWrapper::translateErrorCode(std::int32_t code) const
{
    QString text = QString::number(code);
    if (m_totalRecall) {
        char16_t* given = nullptr;
        if (SUCCEEDED(m_totalRecall->MPGetErrorText(code, &given)) && given) {
            // An empty text would leave the user with nothing; the number then stays.
            const QString componentText = takeString(given);
            if (!componentText.isEmpty())
                text = componentText;
        }
    }
    return text;
}

void CKAVWrapper::associate(TSyncWorker* thread)
{
    if (m_syncThread && m_syncThread != thread) {
        TSyncWorker* previous = std::exchange(m_syncThread, nullptr);
        MW_ASSERT_TEXT(previous->isFinished() || !previous->isRunning(), "m_syncThread->finished()", kSource);
        if (previous->isRunning()) {
            // Deleting a running thread would take the whole program down: stop it first.
            previous->terminateSync(kSyncCancelled);
            previous->wait();
        }
        delete previous;
    }
    m_syncThread = thread;
}

void CKAVWrapper::cancelSynchronization()
{
    if (m_syncThread)
        m_syncThread->terminateSync(kSyncCancelled);
}
