// Editor parent handles turned into Qt parents.
#include <kav/KAVQtParent.h>

#include <QApplication>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(KAVQtParent, ZeroIdHasNoParent)
{
    EXPECT_FALSE(NS_KAV::findQtParent(WId(0)).isValid());
    QWidget page;
    EXPECT_FALSE(NS_KAV::attachToQtParent(&page, 0));
    EXPECT_EQ(page.parentWidget(), nullptr);
}

TEST(KAVQtParent, InProcessWidgetIsFoundThroughTheHandle)
{
    QWidget container;
    const WId id = container.winId();
    void* handle = NS_KAV::handleFromWindowId(id);
    EXPECT_EQ(NS_KAV::windowIdFromHandle(handle), id);

    NS_KAV::TKAVQtParent parent = NS_KAV::findQtParent(handle);
    EXPECT_EQ(parent.widget, &container);
    EXPECT_EQ(parent.foreignWindow, nullptr);

    auto* page = new QWidget;
    ASSERT_TRUE(NS_KAV::attachToQtParent(page, id));
    EXPECT_EQ(page->parentWidget(), &container); // deleted with the container
}

// A native window that is no widget of ours is adopted as a foreign window.
TEST(KAVQtParent, OtherWindowIsAdoptedAsForeignParent)
{
    QWindow native;
    native.create();
    const WId id = native.winId();
    ASSERT_EQ(QWidget::find(id), nullptr);

    NS_KAV::TKAVQtParent parent = NS_KAV::findQtParent(id);
    EXPECT_EQ(parent.widget, nullptr);
    std::unique_ptr<QWindow> foreign(parent.foreignWindow);
    if (!foreign)
        GTEST_SKIP() << "platform plugin cannot adopt foreign windows";

    auto page = std::make_unique<QWidget>();
    ASSERT_TRUE(NS_KAV::attachToQtParent(page.get(), id));
    ASSERT_NE(page->windowHandle(), nullptr);
    EXPECT_NE(page->windowHandle()->parent(), nullptr);
    EXPECT_EQ(page->windowHandle()->parent()->winId(), id);
}

} // namespace
