// Which host events bypass Qt, and the 'menu' class closing real Qt pop-ups first.
#include "AppServerTestSupport.h"
#include "CApplication.h"

#include <QApplication>
#include <QMenu>
#include <QTest>

namespace
{
using Handling = CApplication::EventClassHandling;

struct TClassCase
{
    const char* name;
    quint32 eventClass;
    Handling handling;
};

const TClassCase kClasses[] = {
    {"appr", CApplication::fourCharCode("appr"), CApplication::PassToNext},
    {"1", 1, CApplication::PassToNext},
    {"appl", CApplication::fourCharCode("appl"), CApplication::PassToNext},
    {"eppc", CApplication::fourCharCode("eppc"), CApplication::PassToNext},
    {"cmds", CApplication::fourCharCode("cmds"), CApplication::PassToNext},
    {"menu", CApplication::fourCharCode("menu"), CApplication::ClosePopupsThenPass},
    {"keyb", CApplication::fourCharCode("keyb"), CApplication::NotFiltered},
    {"mous", CApplication::fourCharCode("mous"), CApplication::NotFiltered},
    {"0", 0, CApplication::NotFiltered},
    {"2", 2, CApplication::NotFiltered},
    {"reversed menu", CApplication::fourCharCode("unem"), CApplication::NotFiltered},
};

TEST(EventClassFilter, FourCharCodesAreBigEndian)
{
    EXPECT_EQ(CApplication::fourCharCode("menu"), 0x6D656E75u);
    EXPECT_EQ(CApplication::fourCharCode("appr"), 0x61707072u);
}

TEST(EventClassFilter, TableOfClassesAndResults)
{
    // Next handler results: handled, the platform's "not handled", another error.
    const qint32 results[] = {0, CApplication::eventNotHandledErr, -50};
    for (const TClassCase& tc : kClasses) {
        for (qint32 result : results) {
            SCOPED_TRACE(testing::Message() << tc.name << " next=" << result);
            EXPECT_EQ(CApplication::eventClassHandling(tc.eventClass), tc.handling);
            int nextCalls = 0;
            int closeCalls = 0;
            const bool filtered = CApplication::macEventFilter(
                tc.eventClass,
                [&] {
                    ++nextCalls;
                    EXPECT_EQ(closeCalls, tc.handling == CApplication::ClosePopupsThenPass ? 1 : 0);
                    return result;
                },
                [&] { ++closeCalls; });
            if (tc.handling == CApplication::NotFiltered) {
                EXPECT_FALSE(filtered);
                EXPECT_EQ(nextCalls, 0);
            } else {
                EXPECT_EQ(filtered, result != CApplication::eventNotHandledErr);
                EXPECT_EQ(nextCalls, 1);
            }
            EXPECT_EQ(closeCalls, tc.handling == CApplication::ClosePopupsThenPass ? 1 : 0);
        }
    }
}

TEST(EventClassFilter, MissingNextHandlerCountsAsNotHandled)
{
    EXPECT_FALSE(CApplication::macEventFilter(CApplication::fourCharCode("cmds"), {}, [] {}));
}

TEST(EventClassFilter, MenuClassClosesOpenQtPopupsBeforeTheHost)
{
    QMenu outer;
    outer.addAction(QStringLiteral("One"));
    QMenu inner;
    inner.addAction(QStringLiteral("Two"));
    outer.popup(QPoint(20, 20));
    inner.popup(QPoint(60, 60));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activePopupWidget() == &inner; }, 5000));

    QWidget* popupSeenByHost = &outer;
    const bool filtered = CApplication::macEventFilter(CApplication::fourCharCode("menu"), [&] {
        popupSeenByHost = QApplication::activePopupWidget();
        return qint32(0);
    });
    EXPECT_TRUE(filtered);
    EXPECT_EQ(popupSeenByHost, nullptr);
    EXPECT_FALSE(outer.isVisible());
    EXPECT_FALSE(inner.isVisible());
}

TEST(EventClassFilter, OtherClassesLeavePopupsOpen)
{
    QMenu menu;
    menu.addAction(QStringLiteral("One"));
    menu.popup(QPoint(20, 20));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activePopupWidget() == &menu; }, 5000));
    CApplication::macEventFilter(CApplication::fourCharCode("cmds"), [] { return qint32(0); });
    EXPECT_EQ(QApplication::activePopupWidget(), &menu);
    menu.close();
}
} // namespace
