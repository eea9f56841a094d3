// Main window: writing and reading the Workspace document.
#include "ApplicationWindow.h"

#include "CAppServer.h"
#include "CKAVWrapper.h"
#include "ClientIStream.h"
#include "KAVDiscovery.h"
#include "NS_Utilities.h"
#include "TPrompter.h"
#include "TQt3Stream.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QScrollBar>
#include <QListWidget>
#include <QScreen>

#include <algorithm>

using namespace NS_Utilities;

namespace {

const QString kMinorVersionKey = QStringLiteral("fileformat-minorversion");
const QString kArrangementKey = QStringLiteral("iconview-arrangement");
const QString kSortingKey = QStringLiteral("iconview-sorting");

const char* const kFailedToOpen = "Document failed to open, due to the following reason:\n";

// Counts of the Workspace port settings' four sections when there is no port mapping.
constexpr int kPortSectionCount = 4;

// A damaged document must not size the window beyond what the screens can show. The
// stored edges are taken as they are; width and height are worked out without overflow.
QRect boundedGeometry(const QRect& stored)
{
    const qint64 width = qint64(stored.right()) - stored.left() + 1;
    const qint64 height = qint64(stored.bottom()) - stored.top() + 1;
    if (width <= 0 || height <= 0)
        return QRect();
    QRect desktop;
    for (QScreen* screen : QGuiApplication::screens())
        desktop = desktop.united(screen->virtualGeometry());
    if (desktop.isEmpty())
        desktop = QRect(0, 0, 4096, 4096);
    const int w = int(qMin<qint64>(width, desktop.width()));
    const int h = int(qMin<qint64>(height, desktop.height()));
    const int x = int(std::clamp<qint64>(stored.left(), qint64(desktop.left()) - w + 1, desktop.right()));
    const int y = int(std::clamp<qint64>(stored.top(), desktop.top(), desktop.bottom()));
    return QRect(x, y, w, h);
}

// Runs `work` on a host stream object over `device`; the stream is released afterwards.
template <class Work>
HRESULT withHostStream(QIODevice& device, Work work)
{
    ClientIStream* stream = KAVNewObject<ClientIStream>(nullptr, IID_IStream, false);
    if (!stream)
        return E_OUTOFMEMORY;
    stream->setIODevice(device);
    const HRESULT result = work(stream);
    stream->detachIODevice();
    stream->Release();
    return result;
}

} // namespace

int ApplicationWindow::saveViaStream(QDataStream& stream, int fileType)
{
    Q_UNUSED(fileType);
    return saveViaStream2(stream, false, false, false);
}

int ApplicationWindow::saveViaStream2(QDataStream& stream, bool quiet, bool keepDirty, bool resetCompChanged)
{
    if (resetCompChanged)
        m_compChanged = false;
    else if (!m_compChanged)
        m_compChanged = documentDirty();
    if (!keepDirty)
        setDocumentDirty(false);
    if (!quiet)
        CAppServer::PrepareForBusyAction(nullptr);

    writeStreamHeader(stream);
    writeTypedRect(stream, geometry());
    for (int i = 0; i < kPortSectionCount; ++i)
        writeInt32(stream, 0);

    TPropertyMap properties;
    properties.insert(kMinorVersionKey, QVariant::fromValue<uint>(1));
    properties.insert(kArrangementKey, iconArrangement() == QListView::TopToBottom ? 1 : 0);
    properties.insert(kSortingKey, m_sorting ? 1 : 0);
    writePropertyMap(stream, properties);

    int result = 0;
    QVariantList syncFlags;
    for (CKAVWrapper* wrapper : wrappers()) {
        IPersistStream* persist = wrapper->getPersistStream();
        CFUUIDBytes clsid{};
        if (!persist || persist->GetClassID(&clsid) != S_OK)
            continue;
        writeTypedString(stream, classIdText(clsid.bytes));
        writeTypedString(stream, wrapper->componentName());
        writeTypedBool(stream, wrapper->isPropPageVisible());
        writeTypedRect(stream, wrapper->savedGeometry());
        writeTypedPoint(stream, iconPosition(wrapper));
        writeTypedUInt(stream, wrapper->optionMask());

        QBuffer data;
        data.open(QIODevice::WriteOnly);
        result = withHostStream(data, [persist](IStream* s) { return persist->Save(s, true); });
        data.close();
        writeTypedUInt(stream, quint32(data.size()));
        writeRawBytes(stream, data.data());
        syncFlags.append(wrapper->recallEnabled() ? 1 : 0);
        if (result != 0)
            break;
    }

    writeStreamEnds(stream);
    writeTypedList(stream, syncFlags);
    return result;
}

int ApplicationWindow::loadViaStream(QDataStream& stream, int fileType)
{
    Q_UNUSED(fileType);
    return loadViaStream2(stream, false);
}

int ApplicationWindow::loadViaStream2(QDataStream& stream, bool fromComponent)
{
    if (fromComponent) {
        m_documentName = QString();
        setDocumentDirty(false);
        setDocumentSaved(false);
        m_compChanged = false;
    } else {
        m_compChanged = true;
    }
    m_loadMessage.clear();
    QString problems;

    const auto report = [&](const QString& text) {
        if (fromComponent) {
            if (!m_loadMessage.isEmpty())
                m_loadMessage += QStringLiteral("\n\n");
            m_loadMessage += text;
        } else {
            showWarning(nullptr, moduleName(), text);
        }
    };
    const auto refuse = [&](const char* reason) {
        m_loadMessage.clear();
        report(tr(kFailedToOpen) + tr(reason));
        return 0;
    };

    if (!fromComponent)
        CAppServer::PrepareForBusyAction(nullptr);

    QString header;
    if (!readTypedString(stream, header) || !checkFileFormat(2.00f, QVariant(header)))
        return refuse("Document is not compatible with this version of software.");

    QRect geometry;
    if (!readTypedRect(stream, geometry))
        return refuse("Document is not compatible with this version of software.");
    const QRect bounded = boundedGeometry(geometry);
    if (bounded.isValid())
        setGeometry(bounded);

    // Without a port mapping the settings are four empty section counts.
    for (int i = 0; i < kPortSectionCount; ++i) {
        qint32 count = 0;
        if (!readInt32(stream, count) || count != 0)
            return refuse("Document is not compatible with this version of software.");
    }

    TPropertyMap properties;
    bool damaged = !readPropertyMap(stream, properties);
    uint minorVersion = 0;
    if (!damaged) {
        if (m_iconView) {
            setIconSorting(toInt(properties.value(kSortingKey)) != 0);
            setIconArrangement(toInt(properties.value(kArrangementKey)) == 1 ? QListView::TopToBottom
                                                                              : QListView::LeftToRight);
        }
        minorVersion = toUInt(properties.value(kMinorVersionKey));
    }

    // Component records up to the end marker.
    EnumKAVPlugins(m_plugins);
    QList<bool> recordLoaded;
    while (!damaged) {
        QString clsidText, name;
        if (!readTypedString(stream, clsidText) || !readTypedString(stream, name)) {
            damaged = true;
            break;
        }
        unsigned char clsid[16];
        if (!parseClassIdText(clsidText, clsid) || QUuid::fromRfc4122(QByteArrayView(clsid, 16)).isNull())
            break;
        if (clsidText.compare(classIdText(clsid), Qt::CaseSensitive) != 0)
            reportAssert("clsidString.toString() == clsid.toString()", "application", __LINE__);

        bool editorOpen = false;
        QRect editorRect;
        QPoint iconPos;
        uint options = 0, size = 0;
        QByteArray data;
        if (!readTypedBool(stream, editorOpen) || !readTypedRect(stream, editorRect) ||
            !readTypedPoint(stream, iconPos) || !readTypedUInt(stream, options) ||
            !readTypedUInt(stream, size) || !readRawBytes(stream, size, data)) {
            damaged = true;
            break;
        }
        const TPlugDescription* plugin = installedPlugin(clsid);
        CKAVWrapper* wrapper = plugin ? addComponent(*plugin, name) : nullptr;
        recordLoaded.append(wrapper != nullptr);
        if (!wrapper) {
            problems += QStringLiteral("\nComponent \"") + name +
                        QStringLiteral("\" - Status: <component not installed>");
            continue;
        }
        if (iconPos != QPoint(-1, -1))
            moveIcon(wrapper, iconPos);
        wrapper->setOptionMask(options);
        if (IPersistStream* persist = wrapper->getPersistStream()) {
            QBuffer buffer(&data);
            buffer.open(QIODevice::ReadOnly);
            const HRESULT loaded = withHostStream(buffer, [persist](IStream* s) { return persist->Load(s); });
            if (loaded != 0)
                problems += QStringLiteral("\nComponent \"") + name + QStringLiteral("\" - Status: ") +
                            wrapper->translateErrorCode(loaded);
        }
        if (editorOpen)
            wrapper->propPageCreate(&editorRect);
    }

    if (!damaged && minorVersion != 0) {
        QVariant flags;
        if (!readTypedValue(stream, flags)) {
            damaged = true;
        } else {
            // Matched by record, so a record that was not loaded takes its entry with it.
            const QVariantList entries = toList(flags);
            const QList<CKAVWrapper*> loaded = wrappers();
            int next = 0;
            for (int i = 0; i < entries.size() && i < recordLoaded.size(); ++i) {
                if (!recordLoaded[i])
                    continue;
                if (next >= loaded.size())
                    break;
                CKAVWrapper* wrapper = loaded[next++];
                if (!toBool(entries[i]) && wrapper->recallEnabled()) {
                    wrapper->setRecallEnabled(false);
                    wrapper->setDisplayIcon();
                }
            }
        }
    }

    if (!problems.isEmpty())
        problems.prepend(tr("Following component(s) could not be loaded.\nPlease ensure that you have "
                            "installed required component(s) correctly.\n"));
    if (damaged) {
        if (!problems.isEmpty())
            problems += QStringLiteral("\n\n");
        problems += tr("The document is damaged: its data ends unexpectedly or is corrupt. "
                       "Everything read before the damage has been opened.");
    }
    if (!problems.isEmpty())
        report(problems);
    return 0;
}

const TPlugDescription* ApplicationWindow::installedPlugin(const unsigned char clsid[16])
{
    if (!m_plugins)
        return nullptr;
    for (const TPlugDescription* plugin : *m_plugins)
        if (plugin && std::equal(clsid, clsid + 16, plugin->clsid.bytes))
            return plugin;
    return nullptr;
}

QPoint ApplicationWindow::iconPosition(CKAVWrapper* wrapper) const
{
    if (!m_iconView || m_iconView->row(wrapper) < 0)
        return QPoint(0, 0);
    return m_iconView->visualItemRect(wrapper).topLeft() +
           QPoint(m_iconView->horizontalScrollBar()->value(), m_iconView->verticalScrollBar()->value());
}

void ApplicationWindow::moveIcon(CKAVWrapper* wrapper, const QPoint& pos)
{
    // The view lays its icons out itself; a stored position is kept as the icon's place in
    // the Workspace order it stands for.
    wrapper->setData(kIconPositionRole, pos);
}
