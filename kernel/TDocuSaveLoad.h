#pragma once
// Document base of the main window: keeps the document's name and flags, the
// registered file types, and runs the open/save/overwrite/discard dialogs. The
// content itself is written and read by the derived class.

#include <QString>
#include <QStringList>
#include <QtGlobal>

class QDataStream;
class QVariant;
class QWidget;

namespace NS_Utilities {

class TDocuSaveLoad
{
public:
    static constexpr quint32 kDirtyFlag = 0x80000000u; // unsaved changes
    static constexpr quint32 kSavedFlag = 0x40000000u; // written to or read from a file

    TDocuSaveLoad();
    virtual ~TDocuSaveLoad();

    TDocuSaveLoad(const TDocuSaveLoad&) = delete;
    TDocuSaveLoad& operator=(const TDocuSaveLoad&) = delete;

    // Virtual operations, in this order.
    virtual QString moduleName() const = 0;
    virtual void newSession() = 0;
    virtual int save(QWidget* parent, int captionIndex);
    virtual int load(QWidget* parent, int captionIndex);
    virtual int saveAs(QWidget* parent, int captionIndex);
    virtual bool documentDirty() const;
    virtual bool documentSaved() const;
    virtual int saveViaStream(QDataStream& stream, int fileType) = 0;
    virtual int loadViaStream(QDataStream& stream, int fileType) = 0;
    virtual void eraseCurrentDocument() = 0;
    virtual void updateDocumentStatus(QString& name) = 0;
    virtual const char* hostAppName() const = 0;

    // 0 when the caller may drop the current content, non-zero when it must not.
    int discardCurrentDocument(QWidget* parent, int captionIndex);

    QString makeDialogCaption(QWidget* parent, int captionIndex) const;

    void RegisterExtension(const QString& extension, const QString& description);
    void ReplaceExtension(int index, const QString& extension);

    // File dialog filter: "<description>( *<extension>)" per type, joined by ";;".
    QString prompt() const;
    // Gives `fileName` a registered extension (cutting any it has); returns the type index.
    int appendExt(QString& fileName, const QString& filter) const;
    QString defaultExt() const;

    // Asks before an existing `fileName` is replaced; true when saving may go on.
    bool removeFile(const QString& fileName, QWidget* parent, int captionIndex);

    // Header tests on "Version;<v>;Application Name;<name>" held as a string in `header`.
    bool checkFileFormat(const float& version, const QVariant& header) const;
    bool checkFileFormat(const QString& applicationName, const QVariant& header) const;

    // Flags.
    void setDocumentDirty(bool dirty);
    void setDocumentSaved(bool saved);
    // Sets the dirty flag from a const query (a component reporting unsaved data).
    void markDocumentDirty() const { m_documentFlags |= kDirtyFlag; }
    quint32 documentFlags() const { return m_documentFlags; }

    const QString& documentName() const { return m_documentName; }
    const QString& selectedFilter() const { return m_selectedFilter; }
    const QStringList& extensions() const { return m_extensions; }
    const QStringList& descriptions() const { return m_descriptions; }

protected:
    // The flag word is a cache of the content's state, so const queries may set it.
    mutable quint32 m_documentFlags = 0;
    QString m_documentName;
    QString m_selectedFilter;
    QStringList m_extensions;
    QStringList m_descriptions;

private:
    // Writes the document to `name`; the previous file is replaced only once the
    // new content is complete on disk.
    int writeDocument(const QString& name, int fileType, QWidget* parent, int captionIndex);
};

} // namespace NS_Utilities
