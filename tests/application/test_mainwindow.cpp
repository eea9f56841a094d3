// Main window construction: menus, icon view, caption, gating before the first session,
// closing.
#include "MainWindowFixture.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>

namespace {

struct MenuRow
{
    const char* menu;
    const char* item; // nullptr: separator
    QKeySequence shortcut;
};

const MenuRow kMenus[] = {
    {"&File", "&New", QKeySequence(Qt::CTRL | Qt::Key_N)},
    {"&File", "&Open...", QKeySequence(Qt::CTRL | Qt::Key_O)},
    {"&File", "&Save", QKeySequence(Qt::CTRL | Qt::Key_S)},
    {"&File", "Save As...", QKeySequence()},
    {"&File", nullptr, QKeySequence()},
    {"&File", "Setup...", QKeySequence()},
    {"&File", "Re-map MIDI Ports...", QKeySequence()},
    {"&File", nullptr, QKeySequence()},
    {"&File", "Exit", QKeySequence(Qt::CTRL | Qt::Key_Q)},
    {"&Synchronize", "&Ravuz Uzuvuv...", QKeySequence()},
    {"&Help", "Manual", QKeySequence(Qt::Key_F1)},
    {"&Help", nullptr, QKeySequence()},
    {"&Help", "&About VELMAR Mixwarden", QKeySequence()},
};

QMenu* menuNamed(QMenuBar* bar, const QString& title)
{
    for (QAction* a : bar->actions())
        if (a->text() == title)
            return a->menu();
    return nullptr;
}

} // namespace

using MainWindowTest = MainWindowFixture;

TEST_F(MainWindowTest, MenuBarHasTheMenusItemsAndAcceleratorsInOrder)
{
    QStringList titles;
    for (QAction* a : window->menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, QStringList({"&File", "&Synchronize", "&Windows", "&Help"}));

    QMap<QString, int> next;
    for (const MenuRow& row : kMenus) {
        QMenu* menu = menuNamed(window->menuBar(), row.menu);
        ASSERT_NE(menu, nullptr) << row.menu;
        const QList<QAction*> actions = menu->actions();
        const int index = next[row.menu]++;
        ASSERT_LT(index, actions.size()) << row.menu;
        QAction* a = actions[index];
        if (!row.item) {
            EXPECT_TRUE(a->isSeparator()) << row.menu << " #" << index;
            continue;
        }
        EXPECT_EQ(a->text(), QString::fromUtf8(row.item));
        EXPECT_EQ(a->shortcut(), row.shortcut) << row.item;
    }
    for (auto it = next.cbegin(); it != next.cend(); ++it)
        EXPECT_EQ(menuNamed(window->menuBar(), it.key())->actions().size(), it.value()) << qPrintable(it.key());
    EXPECT_TRUE(menuNamed(window->menuBar(), "&Windows")->actions().isEmpty());
}

TEST_F(MainWindowTest, IconViewIsSetUpAsTheWorkspace)
{
    QListWidget* view = window->iconView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->viewMode(), QListView::IconMode);
    EXPECT_EQ(view->movement(), QListView::Static);
    EXPECT_FALSE(view->wordWrap());
    EXPECT_EQ(view->resizeMode(), QListView::Adjust);
    EXPECT_EQ(view->palette().color(QPalette::Base), QColor(102, 105, 124));
    EXPECT_EQ(view->flow(), QListView::LeftToRight);
    EXPECT_FALSE(window->iconSorting());
}

TEST_F(MainWindowTest, StatusBarTellsTheMidiServiceInUse)
{
    auto* label = window->findChild<QLabel*>("midiServiceLabel");
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->text().startsWith("MIDI: virtual MIDI service")) << qPrintable(label->text());
}

TEST_F(MainWindowTest, MenuActionsDoNothingBeforeTheSessionStarts)
{
    window->newSession();
    window->doLoad();
    window->doSave();
    window->doSaveAs();
    window->doHelp();
    window->about();
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_FALSE(window->sessionStarted());
    EXPECT_TRUE(window->documentName().isNull());
}

TEST_F(MainWindowTest, FirstSessionIsUntitledWithCounterAndCaption)
{
    window->yNewSession();
    EXPECT_TRUE(window->sessionStarted());
    const QString first = window->documentName();
    ASSERT_TRUE(first.startsWith("Untitled "));
    const int n = first.mid(9).toInt();
    EXPECT_GE(n, 1);
    EXPECT_EQ(window->windowTitle(), first + " - VELMAR Mixwarden");

    // Each new document counts on for the life of the process.
    window->newSession();
    EXPECT_EQ(window->documentName(), QString("Untitled %1").arg(n + 1));
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_F(MainWindowTest, CloseWithCancelKeepsWindowAndChanges)
{
    window->yNewSession();
    window->setDocumentDirty(true);
    prompter.answer(2); // Cancel
    QCloseEvent e;
    QCoreApplication::sendEvent(window.get(), &e);
    EXPECT_FALSE(e.isAccepted());
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, "question");
    EXPECT_TRUE(prompter.shown[0].text.startsWith("Save changes to Untitled "));
    EXPECT_TRUE(window->documentDirty());
}

TEST_F(MainWindowTest, CloseWithNoDropsChangesAndAccepts)
{
    window->yNewSession();
    window->setDocumentDirty(true);
    prompter.answer(1); // No
    QCloseEvent e;
    QCoreApplication::sendEvent(window.get(), &e);
    EXPECT_TRUE(e.isAccepted());
    EXPECT_FALSE(window->documentDirty());
}

TEST_F(MainWindowTest, CloseOfACleanDocumentAsksNothing)
{
    window->yNewSession();
    QCloseEvent e;
    QCoreApplication::sendEvent(window.get(), &e);
    EXPECT_TRUE(e.isAccepted());
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST(RetrieveFileName, KeepsOnlyTheLastComponent)
{
    const struct { const char* in; const char* out; } cases[] = {
        {"/home/me/Studio.MWD", "Studio.MWD"},
        {"Untitled 3", "Untitled 3"},
        {"dir/", ""},
        {"/a/b.c/d", "d"},
    };
    for (const auto& c : cases) {
        QString s = c.in;
        retrieveFileName(s);
        EXPECT_EQ(s, QString(c.out)) << c.in;
    }
}
