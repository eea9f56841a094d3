// First session with a document handed in, and open-document requests later on.
#include "MainWindowFixture.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QListWidget>

namespace {

// A valid empty Workspace document as this program writes it.
QByteArray emptyDocument(ApplicationWindow& w)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QDataStream s(&buffer);
    w.saveViaStream2(s, true, true, true);
    return buffer.data();
}

} // namespace

using StartupTest = MainWindowFixture;

TEST_F(StartupTest, DocumentPathInAnyLetterCaseOpensAtStart)
{
    for (const char* name : {"Live.MWD", "Live2.mwd", "Live3.MwD"}) {
        window = std::make_unique<ApplicationWindow>();
        const QString file = path(name);
        writeAll(file, emptyDocument(*window));
        window->createFromFile(file);
        EXPECT_EQ(window->fileToOpen(), file);
        EXPECT_TRUE(window->documentName().isNull()) << "only recorded before the session";
        window->yNewSession();
        EXPECT_EQ(window->documentName(), file) << name;
        EXPECT_EQ(window->windowTitle(), QString(name) + " - VELMAR Mixwarden");
        EXPECT_TRUE(window->documentSaved());
        EXPECT_FALSE(window->documentDirty());
    }
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_F(StartupTest, WrongExtensionIsRefusedAndANewSessionStarts)
{
    const QString file = path("Live.mwx");
    writeAll(file, emptyDocument(*window));
    window->createFromFile(file);
    window->yNewSession();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, "critical");
    EXPECT_EQ(prompter.shown[0].caption, "VELMAR Mixwarden");
    EXPECT_EQ(prompter.shown[0].text, QString("Could not open '%1' Wrong Format.").arg(file));
    EXPECT_FALSE(prompter.shown[0].hadParent);
    EXPECT_TRUE(window->documentName().startsWith("Untitled "));
}

TEST_F(StartupTest, UnreadableDocumentIsReportedAndANewSessionStarts)
{
    const QString file = path("Missing.MWD");
    window->createFromFile(file);
    window->yNewSession();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, "critical");
    EXPECT_TRUE(prompter.shown[0].text.startsWith(QString("Could not open '%1' for reading: ").arg(file)))
        << qPrintable(prompter.shown[0].text);
    EXPECT_GT(prompter.shown[0].text.size(), QString("Could not open '%1' for reading: ").arg(file).size());
    EXPECT_TRUE(window->documentName().startsWith("Untitled "));
}

TEST_F(StartupTest, RequestForTheOpenUnchangedDocumentOnlyBringsTheWindowForward)
{
    const QString file = path("Open.MWD");
    writeAll(file, emptyDocument(*window));
    window->createFromFile(file);
    window->yNewSession();
    ASSERT_EQ(window->documentName(), file);

    // Were it read again, the missing file would be reported.
    QFile::remove(file);
    window->createFromFile(file);
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_EQ(window->documentName(), file);
}

TEST_F(StartupTest, RequestForTheOpenDocumentWithChangesAsksThenReloads)
{
    const QString file = path("Changed.MWD");
    writeAll(file, emptyDocument(*window));
    window->createFromFile(file);
    window->yNewSession();
    window->setDocumentDirty(true);

    prompter.answer(1); // No: drop the changes
    window->createFromFile(file);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].text, QString("Save changes to %1?").arg(file));
    EXPECT_EQ(window->documentName(), file);
    EXPECT_FALSE(window->documentDirty());
    EXPECT_TRUE(window->documentSaved());
}

TEST_F(StartupTest, RequestWithChangesCancelledKeepsTheCurrentDocument)
{
    window->yNewSession();
    const QString untitled = window->documentName();
    window->setDocumentDirty(true);
    const QString file = path("Other.MWD");
    writeAll(file, emptyDocument(*window));
    prompter.answer(2); // Cancel
    window->createFromFile(file);
    EXPECT_EQ(window->documentName(), untitled);
    EXPECT_TRUE(window->documentDirty());
}

TEST_F(StartupTest, RequestForAnotherDocumentReplacesTheSession)
{
    window->yNewSession();
    const QString file = path("Second.MWD");
    writeAll(file, emptyDocument(*window));
    window->createFromFile(file);
    EXPECT_EQ(window->documentName(), file);
    EXPECT_EQ(window->windowTitle(), "Second.MWD - VELMAR Mixwarden");
    EXPECT_TRUE(prompter.shown.isEmpty());
}
