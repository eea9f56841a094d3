// Adding, removing, renaming and arranging components; the document with components.
#include "TWorkspaceFixture.h"

#include <QBuffer>
#include <QDataStream>

using WorkspaceTest = WorkspaceFixture;

TEST_F(WorkspaceTest, AddedComponentIsConnectedAndShown)
{
    CKAVWrapper* w = add("Mixer 1");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(window->wrappers(), QList<CKAVWrapper*>({w}));
    EXPECT_EQ(iconOrder(), QStringList({"Mixer 1"}));
    EXPECT_TRUE(probe.calls().contains("IMPInitialise::MPConnect(host=set, output=set, mode=1, value=0, flags=0x40)"))
        << probe.calls().join("\n").toStdString();
    EXPECT_EQ(window->wrapperObject(w->component()), w);
    EXPECT_EQ(window->findInstance("Mixer 1"), 1);
    EXPECT_EQ(window->findInstance("mixer 1"), 0);
    EXPECT_FALSE(window->documentDirty()) << "adding leaves the dirty flag to its callers";
}

TEST_F(WorkspaceTest, ComponentWhoseConnectFailsLeavesTheWorkspaceUnchanged)
{
    CKAVWrapper* first = add("Mixer 1");
    probe.configure("connect=0x80004005");
    EXPECT_EQ(add("Mixer 2"), nullptr);
    EXPECT_EQ(window->wrappers(), QList<CKAVWrapper*>({first}));
    EXPECT_EQ(iconOrder(), QStringList({"Mixer 1"}));
}

TEST_F(WorkspaceTest, ElevenComponentsSortByTextKeys)
{
    for (int i = 1; i <= 11; ++i)
        ASSERT_NE(add(QString("C%1").arg(i)), nullptr);
    window->rearrangeIcons();
    // Keys are positions written as text: "10" sorts between "1" and "2".
    EXPECT_EQ(iconOrder(), QStringList({"C1", "C2", "C11", "C3", "C4", "C5", "C6", "C7", "C8", "C9", "C10"}));
}

TEST_F(WorkspaceTest, SortedByNameUsesComponentNames)
{
    add("Delta");
    add("Alpha");
    add("Charlie");
    window->setIconSorting(true);
    window->rearrangeIcons();
    EXPECT_EQ(iconOrder(), QStringList({"Alpha", "Charlie", "Delta"}));
}

TEST_F(WorkspaceTest, RenameRules)
{
    CKAVWrapper* a = add("Synth");
    add("Mixer");
    struct Case { const char* typed; const char* name; bool dirty; const char* warning; };
    const Case cases[] = {
        {"Synth", "Synth", false, nullptr},
        {"Mixer", "Synth", false, "Individual Components must have unique names.\nThis change will be ignored."},
        {"", "Synth", false, "Empty name is not allowed.\nThis change will be ignored."},
        {"mixer", "mixer", true, nullptr}, // names differ in letter case: accepted
    };
    for (const Case& c : cases) {
        window->setDocumentDirty(false);
        prompter.shown.clear();
        a->setText(c.typed);
        window->handle_itemRenamed(a);
        EXPECT_EQ(a->componentName(), QString(c.name)) << c.typed;
        EXPECT_EQ(a->text(), QString(c.name)) << c.typed;
        EXPECT_EQ(window->documentDirty(), c.dirty) << c.typed;
        if (c.warning) {
            ASSERT_EQ(prompter.shown.size(), 1) << c.typed;
            EXPECT_EQ(prompter.shown[0].kind, "warning");
            EXPECT_EQ(prompter.shown[0].text, QString(c.warning));
            EXPECT_TRUE(prompter.shown[0].hadParent);
        } else {
            EXPECT_TRUE(prompter.shown.isEmpty()) << c.typed;
        }
    }
}

TEST_F(WorkspaceTest, EraseDisconnectsAndReleasesEveryComponent)
{
    add("A");
    add("B");
    window->setDocumentDirty(true);
    window->eraseCurrentDocument();
    EXPECT_TRUE(window->wrappers().isEmpty());
    EXPECT_EQ(window->iconView()->count(), 0);
    EXPECT_FALSE(window->documentDirty());
    EXPECT_EQ(probe.calls().filter("MPDisconnect").size(), 2);
    EXPECT_EQ(probe.liveObjects(), 0);
}

TEST_F(WorkspaceTest, DocumentWithComponentsRoundTrips)
{
    probe.configure("data=first component");
    CKAVWrapper* a = add("Synth");
    add("Mixer");
    a->setOptionMask(5);
    a->setRecallEnabled(false);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QDataStream out(&buffer);
    ASSERT_EQ(window->saveViaStream(out, 0), 0);

    window->eraseCurrentDocument();
    probe.configure("data=nothing yet");
    probe.clearLog();
    buffer.close();
    buffer.open(QIODevice::ReadOnly);
    QDataStream in(&buffer);
    EXPECT_EQ(window->loadViaStream(in, 0), 0);
    EXPECT_TRUE(prompter.shown.isEmpty());
    const QList<CKAVWrapper*> loaded = window->wrappers();
    ASSERT_EQ(loaded.size(), 2);
    EXPECT_EQ(loaded[0]->componentName(), "Synth");
    EXPECT_EQ(loaded[1]->componentName(), "Mixer");
    EXPECT_EQ(loaded[0]->optionMask(), 5u);
    EXPECT_FALSE(loaded[0]->recallEnabled());
    EXPECT_TRUE(loaded[1]->recallEnabled());
    EXPECT_TRUE(probe.calls().contains("IPersistStream::Load(\"first component\")"))
        << probe.calls().join("\n").toStdString();
}

TEST_F(WorkspaceTest, ComponentRejectingItsDataIsReportedAndKept)
{
    add("Synth");
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QDataStream out(&buffer);
    window->saveViaStream(out, 0);
    window->eraseCurrentDocument();

    probe.configure("load=0x80004005");
    buffer.close();
    buffer.open(QIODevice::ReadOnly);
    QDataStream in(&buffer);
    EXPECT_EQ(window->loadViaStream(in, 0), 0);
    ASSERT_EQ(window->wrappers().size(), 1);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].text,
              "Following component(s) could not be loaded.\nPlease ensure that you have installed required "
              "component(s) correctly.\n\nComponent \"Synth\" - Status: Probe error -2147467259");
}

TEST_F(WorkspaceTest, FailedComponentSaveEndsTheDocumentAfterIt)
{
    add("A");
    add("B");
    probe.configure("save=0x80004005");
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QDataStream out(&buffer);
    EXPECT_EQ(window->saveViaStream(out, 0), int(0x80004005));

    window->eraseCurrentDocument();
    probe.resetConfig();
    buffer.close();
    buffer.open(QIODevice::ReadOnly);
    QDataStream in(&buffer);
    EXPECT_EQ(window->loadViaStream(in, 0), 0);
    EXPECT_TRUE(prompter.shown.isEmpty());
    ASSERT_EQ(window->wrappers().size(), 1);
    EXPECT_EQ(window->wrappers()[0]->componentName(), "A");
}

TEST_F(WorkspaceTest, DirtyComponentMakesTheDocumentDirty)
{
    add("A");
    window->setDocumentDirty(false);
    probe.configure("dirty=0");
    EXPECT_FALSE(window->documentDirty());
    probe.configure("dirty=1");
    EXPECT_TRUE(window->documentDirty());
    probe.configure("dirty=0");
    EXPECT_TRUE(window->documentDirty()) << "dirty for good until saved, loaded or erased";
}
