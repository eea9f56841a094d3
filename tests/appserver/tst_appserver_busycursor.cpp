// Busy cursor: each PrepareForBusyAction pushes one wait cursor, each delivered pop removes one.
#include "AppServerTestSupport.h"

#include <QApplication>
#include <QCursor>
#include <QPointer>

namespace
{
Qt::CursorShape topShape()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::BitmapCursor; // BitmapCursor = "no override"
}

class BusyCursorTest : public AppServerTest
{
protected:
    void SetUp() override
    {
        AppServerTest::SetUp();
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }
    void TearDown() override
    {
        QCoreApplication::sendPostedEvents();
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
        AppServerTest::TearDown();
    }
};

TEST_F(BusyCursorTest, NestedCallsPushAndEachPopRemovesOne)
{
    CAppServer* server = CAppServer::Instance();
    // A cursor of the caller's own sits below: the wait cursors must stack on it, not replace it.
    QGuiApplication::setOverrideCursor(QCursor(Qt::CrossCursor));

    QPointer<QObject> first = CAppServer::MS();
    QPointer<QObject> second = CAppServer::MS();
    CAppServer::PrepareForBusyAction(first);
    CAppServer::PrepareForBusyAction(second);
    EXPECT_EQ(topShape(), Qt::WaitCursor);

    QCoreApplication::sendPostedEvents(first);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(topShape(), Qt::WaitCursor); // the second one is still up

    QCoreApplication::sendPostedEvents(second);
    EXPECT_TRUE(second.isNull());
    EXPECT_EQ(topShape(), Qt::CrossCursor);

    QGuiApplication::restoreOverrideCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    server->release();
}

TEST_F(BusyCursorTest, DefaultReceiverPopsOnNextDelivery)
{
    CAppServer* server = CAppServer::Instance();
    CAppServer::PrepareForBusyAction(nullptr);
    CAppServer::PrepareForBusyAction(nullptr);
    EXPECT_EQ(topShape(), Qt::WaitCursor);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    server->release();
}

TEST_F(BusyCursorTest, WithoutServerOrReceiverNothingHappens)
{
    CAppServer::PrepareForBusyAction(nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
} // namespace
