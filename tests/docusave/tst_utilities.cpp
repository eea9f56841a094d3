// Assertion reporter, popup closing and the plain sleep.
#include "NS_Utilities.h"
#include "TWarningCatcher.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

using namespace NS_Utilities;

TEST(Utilities, ResultCodesHaveTheComponentModelValues)
{
    EXPECT_EQ(kDocOk, 0);
    EXPECT_EQ(static_cast<quint32>(kDocAbort), 0x80000007u);
    EXPECT_EQ(static_cast<quint32>(kDocFail), 0x80000008u);
    EXPECT_LT(kDocAbort, 0);
    EXPECT_LT(kDocFail, 0);
}

TEST(Utilities, AssertReportsConditionSourceAndLineOnlyWhenFalse)
{
    TWarningCatcher catcher;
    const int index = -1;
    const void* pointer = &index;
    MW_ASSERT(pointer, "application"); // holds: silent
    const int line = __LINE__ + 1;
    MW_ASSERT(index >= 0, "../KernelLayer/Utilities");
    MW_ASSERT_TEXT(index >= 0, "! m_documentName.isEmpty()", "application");
    const int textLine = __LINE__ - 1;

    ASSERT_EQ(catcher.warnings().size(), 2);
    EXPECT_EQ(catcher.warnings()[0],
              QStringLiteral("ASSERT: \"index >= 0\" in ../KernelLayer/Utilities (%1)").arg(line));
    EXPECT_EQ(catcher.warnings()[1],
              QStringLiteral("ASSERT: \"! m_documentName.isEmpty()\" in application (%1)").arg(textLine));
}

TEST(Utilities, ReportAssertToleratesNullTexts)
{
    TWarningCatcher catcher;
    reportAssert(nullptr, nullptr, 7);
    ASSERT_EQ(catcher.warnings().size(), 1);
    EXPECT_EQ(catcher.warnings()[0], QStringLiteral("ASSERT: \"\" in  (7)"));
}

TEST(Utilities, CancelPopupWidgetsWithNoPopupSucceeds)
{
    ASSERT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_TRUE(cancelPopupWidgets());
}

TEST(Utilities, CancelPopupWidgetsClosesAnOpenMenu)
{
    QMenu menu;
    menu.addAction(QStringLiteral("Item"));
    menu.popup(QPoint(10, 10));
    ASSERT_EQ(QApplication::activePopupWidget(), &menu);

    EXPECT_TRUE(cancelPopupWidgets());
    EXPECT_FALSE(menu.isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

namespace {
// A popup that refuses to close until allowed.
class TStubbornPopup : public QWidget
{
public:
    TStubbornPopup() : QWidget(nullptr, Qt::Popup) { resize(40, 40); }
    bool mayClose = false;

protected:
    void closeEvent(QCloseEvent* e) override
    {
        if (mayClose)
            e->accept();
        else
            e->ignore();
    }
};
} // namespace

TEST(Utilities, CancelPopupWidgetsFailsWhenThePopupStaysOpen)
{
    TStubbornPopup popup;
    popup.show();
    ASSERT_EQ(QApplication::activePopupWidget(), &popup);

    EXPECT_FALSE(cancelPopupWidgets());
    EXPECT_TRUE(popup.isVisible());

    popup.mayClose = true;
    popup.close();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST(Utilities, MilisecondDelayProcessesNoEvents)
{
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    milisecondDelay(5);
    EXPECT_FALSE(fired);
    milisecondDelay(0);
    milisecondDelay(-3); // nothing to wait for
    EXPECT_FALSE(fired);
    QCoreApplication::processEvents();
    EXPECT_TRUE(fired);
}
