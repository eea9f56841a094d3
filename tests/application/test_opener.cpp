// Hand-over of documents from a second launch to the running instance.
#include "TDocumentOpener.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>
#include <gtest/gtest.h>

namespace {
void useFreshSocketName()
{
    qputenv("MW2_INSTANCE_SOCKET", ("mw-test-" + QUuid::createUuid().toString(QUuid::Id128)).toUtf8());
}
} // namespace

TEST(DocumentOpener, NoRunningInstanceMeansNoHandOver)
{
    useFreshSocketName();
    EXPECT_FALSE(TDocumentOpener::forwardToRunningInstance({"/tmp/a.MWD"}, 200));
}

TEST(DocumentOpener, SecondLaunchHandsItsPathsToTheRunningInstance)
{
    useFreshSocketName();
    TDocumentOpener running;
    ASSERT_TRUE(running.listen());
    QSignalSpy opened(&running, &TDocumentOpener::openDocumentWithPathname);

    ASSERT_TRUE(TDocumentOpener::forwardToRunningInstance({"/music/Live Set.MWD", "relative.mwd"}));
    QTRY_COMPARE(opened.size(), 2);
    EXPECT_EQ(opened[0][0].toString(), "/music/Live Set.MWD");
    EXPECT_EQ(opened[1][0].toString(), QDir::current().absoluteFilePath("relative.mwd"));
}

TEST(DocumentOpener, SecondLaunchWithoutPathsAsksToComeForward)
{
    useFreshSocketName();
    TDocumentOpener running;
    ASSERT_TRUE(running.listen());
    QSignalSpy activation(&running, &TDocumentOpener::activationRequested);
    QSignalSpy opened(&running, &TDocumentOpener::openDocumentWithPathname);
    ASSERT_TRUE(TDocumentOpener::forwardToRunningInstance({}));
    QTRY_COMPARE(activation.size(), 1);
    EXPECT_EQ(opened.size(), 0);
}

TEST(DocumentOpener, CommandLineDocumentsAreTheNonOptionArguments)
{
    EXPECT_EQ(TDocumentOpener::documentArguments({"mixwarden", "--verbose", "a.MWD", "b.mwd"}),
              QStringList({"a.MWD", "b.mwd"}));
}

TEST(DocumentOpener, CommandLinePathsAreDeliveredAbsolute)
{
    TDocumentOpener opener;
    QSignalSpy opened(&opener, &TDocumentOpener::openDocumentWithPathname);
    opener.deliver({"x/Set.MWD"});
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0][0].toString(), QDir::current().absoluteFilePath("x/Set.MWD"));
}
