#include "TDocuSaveLoad.h"

#include "NS_Utilities.h"
#include "TPrompter.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QVariant>
#include <QWidget>

#include <cmath>
#include <iterator>

namespace NS_Utilities {

namespace {

// Caption suffixes by caption index (0: none).
const char* const kCaptionSuffixes[] = {
    "",
    " - Library",
    " - Scene",
    " - Channel",
    " - Gate",
    " - Compressor",
    " - Equalizer",
    " - GEQ",
    " - Effect",
    " - Input Patch",
    " - Output Patch",
    " - Bus To Stereo",
    " - Surround Monitor",
    " - Automix",
};

QString fileErrorText(const QString& errorString)
{
    return QCoreApplication::translate("QFile", qPrintable(errorString));
}

// Saving replaces the old file by renaming over it, which needs a writable folder;
// QSaveFile also refuses to replace a file it may not write.
bool canReplace(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (info.isDir())
        return false;
    const QFileInfo target(info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath());
    if (target.exists() && (!target.isFile() || !target.isWritable()))
        return false;
    const QFileInfo folder(target.absolutePath());
    return folder.isDir() && folder.isWritable();
}

} // namespace

TDocuSaveLoad::TDocuSaveLoad() = default;
TDocuSaveLoad::~TDocuSaveLoad() = default;

// ---- flags ----------------------------------------------------------------------

bool TDocuSaveLoad::documentDirty() const
{
    return (m_documentFlags & kDirtyFlag) != 0;
}

bool TDocuSaveLoad::documentSaved() const
{
    return (m_documentFlags & kSavedFlag) != 0;
}

void TDocuSaveLoad::setDocumentDirty(bool dirty)
{
    if (dirty)
        m_documentFlags |= kDirtyFlag;
    else
        m_documentFlags &= ~kDirtyFlag;
}

void TDocuSaveLoad::setDocumentSaved(bool saved)
{
    if (saved)
        m_documentFlags |= kSavedFlag;
    else
        m_documentFlags &= ~kSavedFlag;
}

// ---- file types, names, captions ---------------------------------------------------

void TDocuSaveLoad::RegisterExtension(const QString& extension, const QString& description)
{
    m_extensions.append(extension);
    m_descriptions.append(description);
}

void TDocuSaveLoad::ReplaceExtension(int index, const QString& extension)
{
    MW_ASSERT(index >= 0, kUtilitiesSource);
    if (index < 0 || index >= m_extensions.size())
        return;
    m_extensions[index] = extension;
}

QString TDocuSaveLoad::prompt() const
{
    QStringList filters;
    for (qsizetype i = 0; i < m_extensions.size(); ++i)
        filters.append(m_descriptions.value(i) + QStringLiteral("( *") + m_extensions[i] + QLatin1Char(')'));
    return filters.join(QStringLiteral(";;"));
}

QString TDocuSaveLoad::defaultExt() const
{
    return m_extensions.value(0);
}

int TDocuSaveLoad::appendExt(QString& fileName, const QString& filter) const
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot > fileName.lastIndexOf(QLatin1Char('/')))
        fileName.truncate(dot);
    if (!filter.isNull()) {
        for (qsizetype i = 0; i < m_extensions.size(); ++i) {
            if (filter.contains(m_extensions[i], Qt::CaseInsensitive)) {
                fileName += m_extensions[i];
                return static_cast<int>(i);
            }
        }
    }
    fileName += defaultExt();
    return 0;
}

QString TDocuSaveLoad::makeDialogCaption(QWidget* parent, int captionIndex) const
{
    if (!parent)
        return moduleName();
    QString caption = parent->window()->windowTitle();
    if (caption.isEmpty())
        caption = moduleName();
    if (captionIndex > 0 && captionIndex < static_cast<int>(std::size(kCaptionSuffixes)))
        caption += QLatin1String(kCaptionSuffixes[captionIndex]);
    return caption;
}

bool TDocuSaveLoad::checkFileFormat(const float& version, const QVariant& header) const
{
    const QStringList parts = header.toString().split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (parts.size() < 4)
        return false;
    bool ok = false;
    const double found = parts[1].toDouble(&ok);
    if (!ok || !std::isfinite(found) || !std::isfinite(version))
        return false;
    return std::trunc(found) == std::trunc(static_cast<double>(version));
}

bool TDocuSaveLoad::checkFileFormat(const QString& applicationName, const QVariant& header) const
{
    const QStringList parts = header.toString().split(QLatin1Char(';'), Qt::SkipEmptyParts);
    return parts.size() >= 4 && parts[3] == applicationName;
}

// ---- dialogs and file operations -------------------------------------------------------

int TDocuSaveLoad::discardCurrentDocument(QWidget* parent, int captionIndex)
{
    if (!cancelPopupWidgets())
        return kDocAbort;
    if (!documentDirty())
        return kDocOk;

    QString text = QStringLiteral("Save changes");
    if (!m_documentName.isEmpty())
        text += QStringLiteral(" to ") + m_documentName;
    text += QLatin1Char('?');

    switch (askYesNoCancel(parent, makeDialogCaption(parent, captionIndex), text)) {
    case TAnswer::Yes:
        return save(parent, 0);
    case TAnswer::No:
        setDocumentDirty(false);
        setDocumentSaved(false);
        return kDocOk;
    case TAnswer::Cancel:
        break;
    }
    return kDocAbort;
}

bool TDocuSaveLoad::removeFile(const QString& fileName, QWidget* parent, int captionIndex)
{
    if (!QFileInfo::exists(fileName))
        return true;
    const QString text =
        QStringLiteral("A file called %1 already exists. Do you want to overwrite it?").arg(fileName);
    if (!askYesNo(parent, makeDialogCaption(parent, captionIndex), text,
                  QStringLiteral("&Yes"), QStringLiteral("&No")))
        return false;
    // The old file stays until the new content is complete (see writeDocument);
    // here we only make sure it can be replaced then.
    return canReplace(fileName);
}

int TDocuSaveLoad::save(QWidget* parent, int captionIndex)
{
    QString name;
    QString filter = m_selectedFilter;

    if (!documentSaved()) {
        QString start = m_documentName.isNull() ? QStringLiteral("Untitled") : m_documentName;
        appendExt(start, m_selectedFilter);
        name = TPrompter::current()->saveFileName(nullptr, start, prompt(),
                                                  QStringLiteral("Choose a filename to save under"),
                                                  &filter);
        if (name.isEmpty())
            return kDocAbort;
        appendExt(name, filter);
        if (!removeFile(name, parent, captionIndex)) {
            showCritical(parent, makeDialogCaption(parent, captionIndex),
                         QStringLiteral("Document \"%1\" not saved.").arg(name));
            return kDocAbort;
        }
    } else {
        name = m_documentName;
    }

    if (name.isEmpty())
        return kDocFail;

    // A name that differs from the rule's result only in letter case keeps its
    // spelling: on a case-sensitive file system "a.mwd" is not "a.MWD".
    QString ruled = name;
    const int fileType = appendExt(ruled, filter);
    if (ruled.compare(name, Qt::CaseInsensitive) != 0)
        name = ruled;

    const int result = writeDocument(name, fileType, parent, captionIndex);
    if (result != kDocOk)
        return result;

    m_selectedFilter = filter;
    updateDocumentStatus(name);
    return kDocOk;
}

int TDocuSaveLoad::writeDocument(const QString& name, int fileType, QWidget* parent, int captionIndex)
{
    const auto reportWriteError = [&](const QString& errorString) {
        showCritical(parent, makeDialogCaption(parent, captionIndex),
                     QStringLiteral("Could not open '%1' for writing: %2").arg(name, fileErrorText(errorString)));
    };

    // The content goes to a temporary file beside the target, which replaces the old
    // document only after everything was written: a failed save loses nothing.
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly)) {
        reportWriteError(file.errorString());
        return kDocFail;
    }

    QDataStream stream(&file);
    const int result = saveViaStream(stream, fileType);

    bool written = stream.status() == QDataStream::Ok && file.error() == QFileDevice::NoError;
    QString errorString = file.errorString();
    if (written) {
        written = file.commit();
        errorString = file.errorString();
    } else {
        file.cancelWriting();
    }
    if (!written) {
        setDocumentDirty(true);
        setDocumentSaved(false);
        reportWriteError(errorString);
        return kDocFail;
    }

    // A component that failed still leaves a readable document ending after it.
    if (result != kDocOk) {
        setDocumentDirty(true);
        setDocumentSaved(false);
    }
    return result;
}

int TDocuSaveLoad::saveAs(QWidget* parent, int captionIndex)
{
    const bool wasSaved = documentSaved();
    setDocumentSaved(false);
    const int result = save(parent, captionIndex);
    if (result < 0)
        setDocumentSaved(wasSaved);
    return result;
}

int TDocuSaveLoad::load(QWidget* parent, int captionIndex)
{
    const bool wasDirty = documentDirty();
    if (const int discarded = discardCurrentDocument(parent, captionIndex))
        return discarded;

    QString filter = m_selectedFilter;
    const QString startIn = m_documentName.isEmpty() ? QString() : QFileInfo(m_documentName).absolutePath();
    QString name = TPrompter::current()->openFileName(nullptr, startIn, prompt(),
                                                      QStringLiteral("Choose a document to load"), &filter);
    if (name.isEmpty()) {
        // Changes just dropped with "No" still count as unsaved.
        setDocumentDirty(wasDirty && !documentSaved());
        return kDocAbort;
    }

    // Same letter-case rule as when saving: the chosen "a.mwd" is opened as such.
    QString ruled = name;
    const int fileType = appendExt(ruled, filter);
    if (ruled.compare(name, Qt::CaseInsensitive) != 0)
        name = ruled;

    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        showCritical(parent, makeDialogCaption(parent, captionIndex),
                     QStringLiteral("Could not open '%1' for reading: %2")
                         .arg(name, fileErrorText(file.errorString())));
        setDocumentDirty(wasDirty);
        return kDocAbort;
    }

    eraseCurrentDocument();
    QCoreApplication::processEvents();
    QDataStream stream(&file);
    const int result = loadViaStream(stream, fileType);
    file.close();
    m_selectedFilter = filter;
    updateDocumentStatus(name);

    if (result != kDocOk) {
        setDocumentDirty(true);
        setDocumentSaved(false);
    }
    return result;
}

} // namespace NS_Utilities
