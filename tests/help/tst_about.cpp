// The About box as the program builds it (constructed, never run modally).
#include "About.h"
#include "NS_Help.h"

#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

TEST(AboutBox, HasItsWidgetsImagesAndVersionText)
{
    const std::unique_ptr<About> box(NS_Utilities::createAboutBox());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->parentWidget(), nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("About"));

    struct TImageLabel
    {
        const char* name;
        QSize size;
    };
    for (const TImageLabel& expected : {TImageLabel{"about_editor_icon", {32, 32}},
                                        TImageLabel{"pixmapLabel1", {64, 37}},
                                        TImageLabel{"pixmapLabel2", {64, 39}}}) {
        auto* label = box->findChild<QLabel*>(QString::fromLatin1(expected.name));
        ASSERT_NE(label, nullptr) << expected.name;
        EXPECT_EQ(label->pixmap().size(), expected.size) << expected.name;
    }
    EXPECT_NE(box->findChild<QFrame*>(QStringLiteral("line1")), nullptr);
    auto* ok = box->findChild<QPushButton*>(QStringLiteral("OKButton"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));

    auto* version = box->findChild<QLabel*>(QStringLiteral("VersionTextLabel"));
    ASSERT_NE(version, nullptr);
    const QString text = version->text();
    EXPECT_TRUE(text.contains(QStringLiteral("VELMAR Mixwarden"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("V2.1.8"))) << text.toStdString();
    EXPECT_LT(text.indexOf(QStringLiteral("VELMAR Mixwarden")), text.indexOf(QStringLiteral("V2.1.8")));
    EXPECT_FALSE(text.contains(QStringLiteral("%1")) || text.contains(QStringLiteral("%2")));
}

TEST(AboutBox, FormLeavesTwoPlaceholdersForNameAndVersion)
{
    About form;
    const QString text = form.VersionTextLabel->text();
    EXPECT_TRUE(text.contains(QStringLiteral("%1")) && text.contains(QStringLiteral("%2"))) << text.toStdString();
}

TEST(AboutBox, OkButtonAcceptsAndSizeIsFixed)
{
    const std::unique_ptr<About> box(NS_Utilities::createAboutBox());
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    EXPECT_EQ(box->minimumSize(), box->maximumSize());
    QSignalSpy accepted(box.get(), &QDialog::accepted);
    QTest::mouseClick(box->OKButton, Qt::LeftButton);
    EXPECT_EQ(accepted.count(), 1);
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(box->result(), QDialog::Accepted);
}

TEST(AboutBox, ExtraInformationLineIsShownOnlyWhenGiven)
{
    const std::unique_ptr<About> plain(NS_Utilities::createAboutBox());
    EXPECT_TRUE(plain->InfoTextLabel->isHidden());
    const std::unique_ptr<About> withDriver(NS_Utilities::createAboutBox(QStringLiteral("MIDI service: virtual")));
    EXPECT_FALSE(withDriver->InfoTextLabel->isHidden());
    EXPECT_EQ(withDriver->InfoTextLabel->text(), QStringLiteral("MIDI service: virtual"));
}

} // namespace
