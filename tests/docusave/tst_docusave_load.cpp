// Discarding changes and loading.
#include "TTestDocument.h"

#include <QCloseEvent>
#include <QWidget>

using NS_Utilities::kDocAbort;
using NS_Utilities::kDocFail;

using DocuDiscard = DocuFixture;
using DocuLoad = DocuFixture;

TEST_F(DocuDiscard, CleanDocumentNeedsNoQuestion)
{
    doc.setFlags(false, true);
    EXPECT_EQ(doc.discardCurrentDocument(nullptr, 0), 0);
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_TRUE(doc.documentSaved());
}

TEST_F(DocuDiscard, QuestionTextAndCaption)
{
    struct Case
    {
        QString name;
        QString text;
    };
    QWidget window;
    window.setWindowTitle(QStringLiteral("Main"));
    QWidget* child = new QWidget(&window);
    for (const Case& c : {Case{"/x/song.MWD", "Save changes to /x/song.MWD?"}, Case{"", "Save changes?"},
                          Case{QString(), "Save changes?"}}) {
        doc.m_documentName = c.name;
        doc.setFlags(true, false);
        prompter.answer(2);
        EXPECT_EQ(doc.discardCurrentDocument(child, 4), kDocAbort);
        const TShownPrompt& q = prompter.shown.last();
        EXPECT_EQ(q.kind, "question");
        EXPECT_EQ(q.text, c.text);
        EXPECT_EQ(q.caption, "Main - Gate");
        EXPECT_TRUE(q.hadParent);
        EXPECT_EQ(q.buttons, QStringList({"&Yes", "&No", "&Cancel"}));
    }
}

TEST_F(DocuDiscard, Answers)
{
    struct Case
    {
        const char* what;
        int answer;                // 0 Yes, 1 No, 2 Cancel
        bool saved;                // the document has a file before
        bool cancelSaveDialog;     // Yes on a new document: the save dialog is cancelled
        int result;
        bool dirtyAfter;
        bool savedAfter;
        bool written;
    };
    const Case cases[] = {
        {"yes, saved document", 0, true, false, 0, false, true, true},
        {"yes, new document, dialog cancelled", 0, false, true, kDocAbort, true, false, false},
        {"no", 1, true, false, 0, false, false, false},
        {"cancel", 2, true, false, kDocAbort, true, true, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TTestDocument d;
        const QString file = path(QStringLiteral("discard-%1.MWD").arg(++n));
        d.m_documentName = c.saved ? file : QStringLiteral("Untitled 1");
        d.setFlags(true, c.saved);
        prompter.answer(c.answer);
        if (c.cancelSaveDialog)
            prompter.answerFile(QString());

        EXPECT_EQ(d.discardCurrentDocument(nullptr, 0), c.result);
        EXPECT_EQ(d.documentDirty(), c.dirtyAfter);
        EXPECT_EQ(d.documentSaved(), c.savedAfter);
        EXPECT_EQ(QFile::exists(file), c.written);
    }
}

namespace {
class TStubbornPopup : public QWidget
{
public:
    TStubbornPopup() : QWidget(nullptr, Qt::Popup) { resize(40, 40); }
    bool mayClose = false;

protected:
    void closeEvent(QCloseEvent* e) override { mayClose ? e->accept() : e->ignore(); }
};
} // namespace

TEST_F(DocuDiscard, PopupThatStaysOpenAborts)
{
    doc.setFlags(true, false);
    TStubbornPopup popup;
    popup.show();
    EXPECT_EQ(doc.discardCurrentDocument(nullptr, 0), kDocAbort);
    EXPECT_EQ(doc.load(nullptr, 0), kDocAbort);
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_TRUE(doc.documentDirty());
    popup.mayClose = true;
    popup.close();
}

TEST_F(DocuLoad, SuccessfulLoad)
{
    const QString file = path("song.MWD");
    writeFile(file, "stored bytes");
    doc.m_documentName = path("Untitled 1");
    prompter.answerFile(file, kFilter);

    EXPECT_EQ(doc.load(nullptr, 0), 0);

    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, "open");
    EXPECT_EQ(prompter.shown[0].caption, "Choose a document to load");
    EXPECT_EQ(prompter.shown[0].text, tmp.path()); // the folder of the current document
    EXPECT_EQ(prompter.shown[0].filter, kFilter);
    EXPECT_FALSE(prompter.shown[0].hadParent);
    EXPECT_EQ(doc.calls, QStringList({"erase", "loadViaStream 0", "updateDocumentStatus " + file}));
    EXPECT_EQ(doc.loaded, QByteArray("stored bytes"));
    EXPECT_EQ(doc.documentName(), file);
    EXPECT_FALSE(doc.documentDirty());
    EXPECT_TRUE(doc.documentSaved());
    EXPECT_EQ(doc.selectedFilter(), kFilter);
}

TEST_F(DocuLoad, ChosenNameFollowsTheExtensionRule)
{
    writeFile(path("mix.MWD"), "the MWD");
    prompter.answerFile(path("mix.v2"));
    EXPECT_EQ(doc.load(nullptr, 0), 0);
    EXPECT_EQ(doc.loaded, QByteArray("the MWD"));
    EXPECT_EQ(doc.documentName(), path("mix.MWD"));
}

TEST_F(DocuLoad, LowerCaseExtensionIsOpenedAsChosen)
{
    const QString file = path("lower.mwd");
    writeFile(file, "lower");
    prompter.answerFile(file);
    EXPECT_EQ(doc.load(nullptr, 0), 0);
    EXPECT_EQ(doc.loaded, QByteArray("lower"));
    EXPECT_EQ(doc.documentName(), file);

    // Saving it again writes the same file, not a new "lower.MWD" beside it.
    doc.setDocumentDirty(true);
    EXPECT_EQ(doc.save(nullptr, 0), 0);
    EXPECT_EQ(entries(), QStringList({"lower.mwd"}));
    EXPECT_EQ(readAllOf(file), doc.content);
}

TEST_F(DocuLoad, CancelledOpenDialogSetsDirtyOnlyForDroppedChanges)
{
    struct Case
    {
        const char* what;
        bool dirty;
        bool saved;
        int discardAnswer; // -1: no question expected
        bool dirtyAfter;
        bool savedAfter;
    };
    const Case cases[] = {
        {"dirty, answered No", true, true, 1, true, false},
        {"dirty new document, answered No", true, false, 1, true, false},
        {"dirty, answered Yes and saved", true, true, 0, false, true},
        {"clean", false, true, -1, false, true},
        {"clean, no file", false, false, -1, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TTestDocument d;
        d.m_documentName = path("current.MWD");
        d.setFlags(c.dirty, c.saved);
        if (c.discardAnswer >= 0)
            prompter.answer(c.discardAnswer);
        prompter.answerFile(QString());

        EXPECT_EQ(d.load(nullptr, 0), kDocAbort);
        EXPECT_EQ(d.documentDirty(), c.dirtyAfter);
        EXPECT_EQ(d.documentSaved(), c.savedAfter);
        EXPECT_FALSE(d.calls.contains("erase"));
    }
}

TEST_F(DocuLoad, CancelInSaveQuestionStopsBeforeTheDialog)
{
    doc.setFlags(true, false);
    prompter.answer(2);
    EXPECT_EQ(doc.load(nullptr, 0), kDocAbort);
    EXPECT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(doc.documentDirty());
}

TEST_F(DocuLoad, FileThatCannotBeOpenedRestoresDirtyFlag)
{
    doc.m_documentName = path("current.MWD");
    doc.setFlags(true, true);
    QWidget parent;
    parent.setWindowTitle(QStringLiteral("Host"));
    prompter.answer(1); // drop the changes
    prompter.answerFile(path("gone.MWD"));

    EXPECT_EQ(doc.load(&parent, 9), kDocAbort);

    ASSERT_EQ(prompter.shown.size(), 3);
    const TShownPrompt& error = prompter.shown[2];
    EXPECT_EQ(error.kind, "critical");
    EXPECT_EQ(error.caption, "Host - Input Patch");
    const QString head = QStringLiteral("Could not open '%1' for reading: ").arg(path("gone.MWD"));
    EXPECT_TRUE(error.text.startsWith(head)) << error.text.toStdString();
    EXPECT_GT(error.text.size(), head.size());
    EXPECT_TRUE(doc.documentDirty());
    EXPECT_FALSE(doc.documentSaved()); // the answer "No" dropped the file association
    EXPECT_EQ(doc.documentName(), path("current.MWD"));
    EXPECT_TRUE(doc.calls.isEmpty());
}

TEST_F(DocuLoad, FolderChosenAsDocumentIsRefused)
{
    ASSERT_TRUE(QDir(tmp.path()).mkdir("dir.MWD"));
    prompter.answerFile(path("dir.MWD"));
    EXPECT_EQ(doc.load(nullptr, 0), kDocAbort);
    ASSERT_EQ(prompter.shown.size(), 2);
    EXPECT_EQ(prompter.shown[1].kind, "critical");
    EXPECT_TRUE(doc.calls.isEmpty());
}

TEST_F(DocuLoad, ContentErrorIsReturnedAndMarksDirty)
{
    const QString file = path("damaged.MWD");
    writeFile(file, "damaged");
    doc.loadResult = kDocFail;
    prompter.answerFile(file);

    EXPECT_EQ(doc.load(nullptr, 0), kDocFail);
    EXPECT_EQ(doc.calls, QStringList({"erase", "loadViaStream 0", "updateDocumentStatus " + file}));
    EXPECT_EQ(doc.documentName(), file);
    EXPECT_TRUE(doc.documentDirty());
    EXPECT_FALSE(doc.documentSaved());
}
