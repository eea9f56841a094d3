// Main window: writing and reading the Workspace document.
#include "ApplicationWindow.h"

#include "CAppServer.h"
#include "NS_Utilities.h"
#include "TPrompter.h"
#include "TQt3Stream.h"

#include <QGuiApplication>
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

    const int result = 0;
    QVariantList syncFlags;

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
        // No installed plug-in can take the record yet.
        recordLoaded.append(false);
        problems += QStringLiteral("\nComponent \"") + name +
                    QStringLiteral("\" - Status: <component not installed>");
    }

    if (!damaged && minorVersion != 0) {
        QVariant flags;
        if (!readTypedValue(stream, flags))
            damaged = true;
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
