// Both context menus, their items, enabled states and check marks, and the Windows menu.
#include "TWorkspaceFixture.h"

#include <QMenuBar>
#include <QTest>

using WorkspaceMenuTest = WorkspaceFixture;

TEST_F(WorkspaceMenuTest, EmptySpaceMenuOffersAllFourItemsWithoutComponents)
{
    contextMenu(nullptr);
    EXPECT_EQ(shownMenu, QStringList({"Modify Workspace...", "Arrange by Name", "-", "Left To Right [x]", "Top To Bottom"}));
}

TEST_F(WorkspaceMenuTest, ArrangementItemsSetTheDirtyFlagOnlyWhenTheyChangeSomething)
{
    struct Step { const char* choose; bool dirty; QListView::Flow flow; };
    const Step steps[] = {
        {"Left To Right", false, QListView::LeftToRight},
        {"Top To Bottom", true, QListView::TopToBottom},
        {"Top To Bottom", false, QListView::TopToBottom},
        {"Left To Right", true, QListView::LeftToRight},
    };
    for (const Step& s : steps) {
        window->setDocumentDirty(false);
        contextMenu(nullptr, s.choose);
        EXPECT_EQ(window->documentDirty(), s.dirty) << s.choose;
        EXPECT_EQ(window->iconArrangement(), s.flow) << s.choose;
    }
    contextMenu(nullptr);
    EXPECT_EQ(shownMenu.at(3), "Left To Right [x]");
}

TEST_F(WorkspaceMenuTest, ArrangeByNameTogglesSortingAndRearrangesLater)
{
    add("b");
    add("a");
    contextMenu(nullptr, "Arrange by Name");
    EXPECT_TRUE(window->iconSorting());
    EXPECT_TRUE(window->documentDirty());
    QTRY_COMPARE(iconOrder(), QStringList({"a", "b"}));
    contextMenu(nullptr);
    EXPECT_EQ(shownMenu.at(1), "Arrange by Name [x]");
    contextMenu(nullptr, "Arrange by Name");
    EXPECT_FALSE(window->iconSorting());
    QTRY_COMPARE(iconOrder(), QStringList({"b", "a"}));
}

TEST_F(WorkspaceMenuTest, ComponentMenuItemsAndStates)
{
    CKAVWrapper* w = add("Synth");
    contextMenu(w);
    EXPECT_EQ(shownMenu, QStringList({"Open", "Close (off)", "-", "Synchronize...", "Ravuz Uzuvuv Enabled [x]", "-",
                                      "Remove..."}));

    probe.configure("answer=IPersistStream,IMPEventFilter");
    CKAVWrapper* plain = add("Plain");
    contextMenu(plain);
    EXPECT_EQ(shownMenu, QStringList({"Open", "Close (off)", "-", "Synchronize... (off)",
                                      "Ravuz Uzuvuv Enabled (off)", "-", "Remove..."}));
}

TEST_F(WorkspaceMenuTest, RavuzUzuvuvEnabledTogglesTheFlagButNotTheDirtyFlag)
{
    CKAVWrapper* w = add("Synth");
    ASSERT_TRUE(w->recallEnabled());
    contextMenu(w, "Ravuz Uzuvuv Enabled");
    EXPECT_FALSE(w->recallEnabled());
    EXPECT_FALSE(window->documentDirty());
    contextMenu(w);
    EXPECT_EQ(shownMenu.at(4), "Ravuz Uzuvuv Enabled");
}

TEST_F(WorkspaceMenuTest, OptionSubmenuCheckMarksAndSelectionRules)
{
    struct Step { const char* choose; std::uint32_t maskAfter; };
    struct Case {
        int selectionMode;
        std::uint32_t start;
        QStringList marks; // check marks shown at the start
        std::vector<Step> steps;
    };
    const Case cases[] = {
        // Several options may be combined: bits toggle; the first option clears all.
        {-1, 0, {"Everything [x]", "Patches", "Setups", "Globals"},
         {{"Patches", 1}, {"Globals", 5}, {"Patches", 4}, {"Everything", 0}}},
        // One option at a time: the mask becomes the chosen bit.
        {0, 6, {"Everything", "Patches", "Setups [x]", "Globals [x]"},
         {{"Patches", 1}, {"Globals", 4}, {"Globals", 4}, {"Everything", 0}}},
        {1, 0, {"Everything [x]", "Patches", "Setups", "Globals"}, {{"Setups", 2}}},
    };
    for (const Case& c : cases) {
        probe.configure(QString("optionList=Everything|Patches||Setups|Globals;selectionMode=%1;optionMask=%2")
                            .arg(c.selectionMode)
                            .arg(c.start));
        CKAVWrapper* w = add(QString("S%1").arg(c.selectionMode));
        ASSERT_NE(w, nullptr);
        ASSERT_EQ(w->optionMask(), c.start);
        contextMenu(w);
        ASSERT_TRUE(shownSubmenus.contains("Configure Ravuz Uzuvuv")) << shownMenu.join(", ").toStdString();
        EXPECT_EQ(shownSubmenus["Configure Ravuz Uzuvuv"], c.marks) << c.selectionMode;
        for (const Step& s : c.steps) {
            contextMenu(w, QString("Configure Ravuz Uzuvuv/") + s.choose);
            EXPECT_EQ(w->optionMask(), s.maskAfter) << c.selectionMode << " " << s.choose;
        }
        EXPECT_FALSE(window->documentDirty());
    }
}

TEST_F(WorkspaceMenuTest, NoOptionTextMeansNoSubmenu)
{
    for (const char* config : {"optionList=", "optionList=A|B;selectionMode=0;syncOptions=0x80004005"}) {
        probe.configure(config);
        CKAVWrapper* w = add(config);
        contextMenu(w);
        EXPECT_FALSE(shownSubmenus.contains("Configure Ravuz Uzuvuv")) << config;
    }
}

TEST_F(WorkspaceMenuTest, RemoveAnsweredNoChangesNothing)
{
    CKAVWrapper* w = add("Synth");
    prompter.answer(1); // &No
    contextMenu(w, "Remove...");
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].text,
              "Are you sure you want to remove \"Synth\" component?\n\nPressing Yes will permanently remove it "
              "from your Workspace.");
    EXPECT_EQ(window->wrappers(), QList<CKAVWrapper*>({w}));
    EXPECT_FALSE(window->documentDirty());
    EXPECT_FALSE(probe.calls().contains("IMPInitialise::MPDisconnect()"));
}

TEST_F(WorkspaceMenuTest, RemoveAnsweredYesTakesTheComponentAwayLater)
{
    CKAVWrapper* w = add("Synth");
    add("Mixer");
    QPointer<CKAVWrapper> guard(w);
    prompter.answer(0);
    contextMenu(w, "Remove...");
    EXPECT_TRUE(window->documentDirty());
    EXPECT_EQ(iconOrder(), QStringList({"Mixer"}));
    EXPECT_EQ(window->findInstance("Synth"), 0);
    QTRY_VERIFY(guard.isNull());
    EXPECT_TRUE(probe.calls().contains("IMPInitialise::MPDisconnect()"));
}

TEST_F(WorkspaceMenuTest, WindowsMenuStartsWithTheMainWindow)
{
    add("Synth");
    QMenu* windows = nullptr;
    for (QAction* a : window->menuBar()->actions())
        if (a->text() == "&Windows")
            windows = a->menu();
    ASSERT_NE(windows, nullptr);
    window->windowsMenuAboutToShow();
    const QStringList rows = describeMenu(windows);
    ASSERT_EQ(rows.size(), 2) << "no editor is open";
    EXPECT_TRUE(rows[0].startsWith("Mixwarden"));
    EXPECT_EQ(rows[1], "-");
}
