// Saving, saving under a new name, the overwrite question and the atomic replacement.
#include "TTestDocument.h"

#include <QWidget>

#include <csignal>
#include <sys/resource.h>

using NS_Utilities::kDocAbort;
using NS_Utilities::kDocFail;

namespace {

// Limits the size of files this process may write; writing past it fails with EFBIG
// instead of raising SIGXFSZ. Restores both on destruction.
class TFileSizeLimit
{
public:
    explicit TFileSizeLimit(rlim_t bytes)
    {
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &m_oldAction);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~TFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        sigaction(SIGXFSZ, &m_oldAction, nullptr);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old = {};
    struct sigaction m_oldAction = {};
    bool m_ok = false;
};

} // namespace

using DocuSave = DocuFixture;

TEST_F(DocuSave, NewDocumentProposesItsNameWithExtension)
{
    struct Case
    {
        QString documentName; // null: never named
        QString proposed;
    };
    for (const Case& c : {Case{QString(), "Untitled.MWD"}, Case{"Untitled 1", "Untitled 1.MWD"},
                          Case{"Untitled 2.old", "Untitled 2.MWD"}}) {
        TTestDocument fresh;
        fresh.m_documentName = c.documentName;
        prompter.answerFile(QString()); // cancel
        const qsizetype before = prompter.shown.size();
        EXPECT_EQ(fresh.save(nullptr, 0), kDocAbort);
        ASSERT_EQ(prompter.shown.size(), before + 1);
        const TShownPrompt& dialog = prompter.shown.last();
        EXPECT_EQ(dialog.kind, "save");
        EXPECT_EQ(dialog.text, c.proposed);
        EXPECT_EQ(dialog.caption, "Choose a filename to save under");
        EXPECT_EQ(dialog.filter, kFilter);
        EXPECT_FALSE(dialog.hadParent);
        EXPECT_TRUE(fresh.calls.isEmpty());
        EXPECT_EQ(fresh.documentName(), c.documentName);
    }
}

TEST_F(DocuSave, SuccessfulSaveWritesContentAndRecordsTheDocument)
{
    doc.m_documentName = QStringLiteral("Untitled 1");
    doc.setFlags(true, false);
    prompter.answerFile(path("song"), kFilter);

    EXPECT_EQ(doc.save(nullptr, 0), 0);

    const QString saved = path("song.MWD");
    EXPECT_EQ(readAllOf(saved), doc.content);
    EXPECT_EQ(doc.calls, QStringList({"saveViaStream 0", "updateDocumentStatus " + saved}));
    EXPECT_EQ(doc.documentName(), saved);
    EXPECT_FALSE(doc.documentDirty());
    EXPECT_TRUE(doc.documentSaved());
    EXPECT_EQ(doc.selectedFilter(), kFilter);
    EXPECT_EQ(entries(), QStringList({"song.MWD"}));

    // The chosen filter is preselected next time.
    doc.setDocumentSaved(false);
    prompter.answerFile(QString());
    EXPECT_EQ(doc.saveAs(nullptr, 0), kDocAbort);
    EXPECT_EQ(prompter.lastSelectedFilterIn.last(), kFilter);
}

TEST_F(DocuSave, TypedNamesFollowTheExtensionRule)
{
    ASSERT_TRUE(QDir(tmp.path()).mkpath("my.folder"));
    struct Case
    {
        QString typed;
        QString written;
    };
    for (const Case& c : {Case{"other.txt", "other.MWD"}, Case{"mix.v2", "mix.MWD"},
                          Case{"my.folder/inside", "my.folder/inside.MWD"}, Case{"plain", "plain.MWD"},
                          Case{"lower.mwd", "lower.MWD"}}) {
        TTestDocument fresh;
        prompter.answerFile(path(c.typed));
        EXPECT_EQ(fresh.save(nullptr, 0), 0) << c.typed.toStdString();
        EXPECT_EQ(fresh.documentName(), path(c.written));
        EXPECT_EQ(readAllOf(path(c.written)), fresh.content);
    }
    EXPECT_EQ(entries(), QStringList({"lower.MWD", "mix.MWD", "my.folder", "other.MWD", "plain.MWD"}));
}

TEST_F(DocuSave, AlreadySavedDocumentIsWrittenWithoutDialog)
{
    const QString file = path("kept.MWD");
    writeFile(file, "old");
    doc.m_documentName = file;
    doc.setFlags(true, true);
    doc.content = "new content";

    EXPECT_EQ(doc.save(nullptr, 0), 0);
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_EQ(readAllOf(file), QByteArray("new content"));
    EXPECT_FALSE(doc.documentDirty());
    EXPECT_TRUE(doc.documentSaved());
    EXPECT_EQ(entries(), QStringList({"kept.MWD"}));
}

TEST_F(DocuSave, AlreadySavedLowerCaseNameKeepsItsSpelling)
{
    const QString file = path("lower.mwd");
    writeFile(file, "old");
    doc.m_documentName = file;
    doc.setFlags(true, true);

    EXPECT_EQ(doc.save(nullptr, 0), 0);
    EXPECT_EQ(readAllOf(file), doc.content);
    EXPECT_EQ(doc.documentName(), file);
    EXPECT_EQ(entries(), QStringList({"lower.mwd"}));
}

TEST_F(DocuSave, OverwriteDeclinedReportsNotSavedAndStaysDirty)
{
    const QString file = path("exists.MWD");
    writeFile(file, "previous");
    doc.m_documentName = QStringLiteral("Untitled 1");
    doc.setFlags(true, false);
    QWidget parent;
    parent.setWindowTitle(QStringLiteral("Host"));
    prompter.answerFile(path("exists.txt")); // the rule leads to exists.MWD
    prompter.answer(1);                       // "&No"

    EXPECT_EQ(doc.save(&parent, 2), kDocAbort);

    ASSERT_EQ(prompter.shown.size(), 3);
    EXPECT_EQ(prompter.shown[1].kind, "question");
    EXPECT_EQ(prompter.shown[1].text,
              QStringLiteral("A file called %1 already exists. Do you want to overwrite it?").arg(file));
    EXPECT_EQ(prompter.shown[1].buttons, QStringList({"&Yes", "&No"}));
    EXPECT_EQ(prompter.shown[1].caption, "Host - Scene");
    EXPECT_TRUE(prompter.shown[1].hadParent);
    EXPECT_EQ(prompter.shown[2].kind, "critical");
    EXPECT_EQ(prompter.shown[2].text, QStringLiteral("Document \"%1\" not saved.").arg(file));
    EXPECT_EQ(prompter.shown[2].caption, "Host - Scene");
    EXPECT_TRUE(doc.documentDirty());
    EXPECT_FALSE(doc.documentSaved());
    EXPECT_EQ(doc.documentName(), QStringLiteral("Untitled 1"));
    EXPECT_EQ(readAllOf(file), QByteArray("previous"));
    EXPECT_TRUE(doc.calls.isEmpty());
}

TEST_F(DocuSave, OverwriteAcceptedReplacesTheFile)
{
    const QString file = path("exists.MWD");
    writeFile(file, "previous");
    prompter.answerFile(file);
    prompter.answer(0); // "&Yes"

    EXPECT_EQ(doc.save(nullptr, 0), 0);
    EXPECT_EQ(readAllOf(file), doc.content);
    EXPECT_EQ(prompter.shown.size(), 2);
    EXPECT_EQ(prompter.shown[1].caption, kCaption);
    EXPECT_FALSE(prompter.shown[1].hadParent);
    EXPECT_EQ(entries(), QStringList({"exists.MWD"}));
}

TEST_F(DocuSave, OverwriteAcceptedButNotReplaceableIsNotSaved)
{
    // A folder of that name cannot be replaced by the document.
    ASSERT_TRUE(QDir(tmp.path()).mkdir("folder.MWD"));
    doc.setFlags(true, false);
    prompter.answerFile(path("folder.MWD"));
    prompter.answer(0);

    EXPECT_EQ(doc.save(nullptr, 0), kDocAbort);
    ASSERT_EQ(prompter.shown.size(), 3);
    EXPECT_EQ(prompter.shown[2].text, QStringLiteral("Document \"%1\" not saved.").arg(path("folder.MWD")));
    EXPECT_TRUE(doc.documentDirty());
    EXPECT_TRUE(QFileInfo(path("folder.MWD")).isDir());
}

TEST_F(DocuSave, FileThatCannotBeCreatedReportsWriteError)
{
    doc.setFlags(true, false);
    const QString target = path("missing-folder/doc.MWD");
    prompter.answerFile(target);

    EXPECT_EQ(doc.save(nullptr, 0), kDocFail);
    ASSERT_EQ(prompter.shown.size(), 2);
    EXPECT_EQ(prompter.shown[1].kind, "critical");
    EXPECT_TRUE(prompter.shown[1].text.startsWith(QStringLiteral("Could not open '%1' for writing: ").arg(target)))
        << prompter.shown[1].text.toStdString();
    EXPECT_GT(prompter.shown[1].text.size(), QStringLiteral("Could not open '%1' for writing: ").arg(target).size());
    EXPECT_TRUE(doc.calls.isEmpty());
    EXPECT_TRUE(doc.documentDirty());
}

TEST_F(DocuSave, EmptyDocumentNameOfSavedDocumentFails)
{
    doc.m_documentName = QString();
    doc.setFlags(true, true);
    EXPECT_EQ(doc.save(nullptr, 0), kDocFail);
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_TRUE(doc.calls.isEmpty());
}

TEST_F(DocuSave, ContentFailureKeepsWhatWasWrittenAndMarksDirty)
{
    const QString file = path("partial.MWD");
    doc.m_documentName = file;
    doc.setFlags(false, true);
    doc.content = "first component only";
    doc.saveResult = static_cast<int>(0x80004005u); // a component's Save failed

    EXPECT_EQ(doc.save(nullptr, 0), static_cast<int>(0x80004005));
    EXPECT_EQ(readAllOf(file), QByteArray("first component only"));
    EXPECT_TRUE(doc.documentDirty());
    EXPECT_FALSE(doc.documentSaved());
    EXPECT_EQ(doc.calls, QStringList({"saveViaStream 0"}));
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_F(DocuSave, SaveAsCancelledKeepsNameAndSavedFlag)
{
    const QString file = path("mine.MWD");
    doc.m_documentName = file;
    doc.setFlags(false, true);
    prompter.answerFile(QString());

    EXPECT_EQ(doc.saveAs(nullptr, 0), kDocAbort);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].text, file); // proposes the current file
    EXPECT_TRUE(doc.documentSaved());
    EXPECT_FALSE(doc.documentDirty());
    EXPECT_EQ(doc.documentName(), file);
}

TEST_F(DocuSave, SaveAsFailedRestoresSavedFlag)
{
    const QString file = path("mine.MWD");
    doc.m_documentName = file;
    doc.setFlags(true, true);
    prompter.answerFile(path("nowhere/new.MWD"));

    EXPECT_EQ(doc.saveAs(nullptr, 0), kDocFail);
    EXPECT_TRUE(doc.documentSaved());
    EXPECT_EQ(doc.documentName(), file);
}

TEST_F(DocuSave, SaveAsWritesUnderTheNewName)
{
    const QString oldFile = path("old.MWD");
    writeFile(oldFile, "old");
    doc.m_documentName = oldFile;
    doc.setFlags(false, true);
    prompter.answerFile(path("new"));

    EXPECT_EQ(doc.saveAs(nullptr, 0), 0);
    EXPECT_EQ(doc.documentName(), path("new.MWD"));
    EXPECT_TRUE(doc.documentSaved());
    EXPECT_EQ(readAllOf(oldFile), QByteArray("old"));
    EXPECT_EQ(readAllOf(path("new.MWD")), doc.content);
}

// A write that fails half way (file size limit) must leave the previous document
// byte-identical and no temporary file behind.
TEST_F(DocuSave, FailedWriteKeepsThePreviousFileIntact)
{
    const QByteArray previous = QByteArray("previous document ") + QByteArray(1000, 'p');
    struct Case
    {
        const char* what;
        bool alreadySaved; // false: chosen in the dialog and overwrite confirmed
    };
    for (const Case& c : {Case{"saved document", true}, Case{"overwrite confirmed", false}}) {
        SCOPED_TRACE(c.what);
        const QString file = path("precious.MWD");
        writeFile(file, previous);
        TTestDocument big;
        big.content = QByteArray(512 * 1024, 'n');
        if (c.alreadySaved) {
            big.m_documentName = file;
            big.setFlags(true, true);
        } else {
            big.m_documentName = QStringLiteral("Untitled 1");
            big.setFlags(true, false);
            prompter.answerFile(file);
            prompter.answer(0);
        }
        const qsizetype shownBefore = prompter.shown.size();

        int result = 0;
        {
            TFileSizeLimit limit(64 * 1024);
            ASSERT_TRUE(limit.ok());
            result = big.save(nullptr, 0);
        }

        EXPECT_EQ(result, kDocFail);
        EXPECT_EQ(readAllOf(file), previous);
        EXPECT_EQ(entries(), QStringList({"precious.MWD"}));
        EXPECT_TRUE(big.documentDirty());
        EXPECT_FALSE(big.documentSaved());
        EXPECT_EQ(big.calls, QStringList({"saveViaStream 0"}));
        ASSERT_EQ(prompter.shown.size(), shownBefore + (c.alreadySaved ? 1 : 3));
        const TShownPrompt& error = prompter.shown.last();
        EXPECT_EQ(error.kind, "critical");
        const QString head = QStringLiteral("Could not open '%1' for writing: ").arg(file);
        EXPECT_TRUE(error.text.startsWith(head)) << error.text.toStdString();
        EXPECT_GT(error.text.size(), head.size());
        EXPECT_EQ(error.caption, kCaption);
    }
}

TEST_F(DocuSave, StreamErrorCancelsTheSave)
{
    struct TBadStreamDocument : TTestDocument
    {
        int saveViaStream(QDataStream& stream, int fileType) override
        {
            TTestDocument::saveViaStream(stream, fileType);
            stream.setStatus(QDataStream::WriteFailed);
            return 0;
        }
    } bad;
    const QString file = path("precious.MWD");
    writeFile(file, "previous");
    bad.m_documentName = file;
    bad.setFlags(true, true);

    EXPECT_EQ(bad.save(nullptr, 0), kDocFail);
    EXPECT_EQ(readAllOf(file), QByteArray("previous"));
    EXPECT_EQ(entries(), QStringList({"precious.MWD"}));
    EXPECT_TRUE(bad.documentDirty());
    EXPECT_FALSE(bad.documentSaved());
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].text.startsWith(QStringLiteral("Could not open '%1' for writing: ").arg(file)));
}
