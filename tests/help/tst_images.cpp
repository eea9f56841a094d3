// Built-in images and the look-up order of loadPixmap.
#include "NS_Images.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

namespace {

struct TBuiltIn
{
    const char* name;
    int width;
    int height;
};

const TBuiltIn kBuiltIns[] = {
    {"HostSplash.png", 460, 288},   {"Generic_01.png", 96, 96},    {"Generic_02.png", 96, 96},
    {"bg.png", 1, 1},               {"appli32_256.png", 32, 32},   {"LFrecall_64x37.png", 64, 37},
    {"KAV2_64x39.png", 64, 39},
};

// Writes a plain image of the given size and colour into `folder`.
void writeImage(const QString& folder, const QString& name, QSize size, QColor colour)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(QDir(folder).filePath(name), "PNG"));
}

void PrintTo(const TBuiltIn& image, std::ostream* os)
{
    *os << image.name;
}

class BuiltInImage : public ::testing::TestWithParam<TBuiltIn>
{
};

TEST_P(BuiltInImage, HasItsSizeAndThirtyTwoBitDepth)
{
    const TBuiltIn& expected = GetParam();
    QString name = QString::fromLatin1(expected.name);
    const QString nowhere = QStringLiteral("/nonexistent-folder/");
    const QPixmap pixmap = NS_Utilities::loadPixmap(name, &nowhere);
    ASSERT_FALSE(pixmap.isNull()) << expected.name;
    EXPECT_EQ(pixmap.size(), QSize(expected.width, expected.height)) << expected.name;
    EXPECT_EQ(pixmap.depth(), 32) << expected.name;
    EXPECT_EQ(name, QString::fromLatin1(expected.name)) << "the name must not be changed";
}

INSTANTIATE_TEST_SUITE_P(Collection, BuiltInImage, ::testing::ValuesIn(kBuiltIns),
                         [](const auto& info) {
                             QString id = QString::fromLatin1(info.param.name);
                             id.remove(QLatin1Char('.')).remove(QLatin1Char('_'));
                             return id.toStdString();
                         });

TEST(LoadPixmap, CollectionListsEveryBuiltInImage)
{
    QStringList expected;
    for (const TBuiltIn& b : kBuiltIns)
        expected.append(QString::fromLatin1(b.name));
    EXPECT_EQ(NS_Utilities::builtInImageNames(), expected);
}

TEST(LoadPixmap, ComponentIconsForRecallOffAndOnDiffer)
{
    QString off = QStringLiteral("Generic_01.png");
    QString on = QStringLiteral("Generic_02.png");
    const QImage a = NS_Utilities::loadPixmap(off, nullptr).toImage();
    const QImage b = NS_Utilities::loadPixmap(on, nullptr).toImage();
    ASSERT_FALSE(a.isNull());
    ASSERT_FALSE(b.isNull());
    EXPECT_NE(a, b);
}

TEST(LoadPixmap, BuiltInImageWinsOverFolderCopy)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeImage(dir.path(), QStringLiteral("HostSplash.png"), QSize(10, 10), Qt::red);
    QString name = QStringLiteral("HostSplash.png");
    const QString folder = dir.path() + QLatin1Char('/');
    EXPECT_EQ(NS_Utilities::loadPixmap(name, &folder).size(), QSize(460, 288));
}

TEST(LoadPixmap, FolderOnlyImageComesFromTheFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeImage(dir.path(), QStringLiteral("Custom_7x5.png"), QSize(7, 5), Qt::green);
    QString name = QStringLiteral("Custom_7x5.png");
    const QString folder = dir.path() + QLatin1Char('/');
    const QPixmap pixmap = NS_Utilities::loadPixmap(name, &folder);
    EXPECT_EQ(pixmap.size(), QSize(7, 5));
    EXPECT_EQ(pixmap.toImage().pixelColor(3, 2), QColor(Qt::green));
}

TEST(LoadPixmap, DefaultFolderIsImagesUnderTheWorkingFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("images")));
    writeImage(dir.path() + QStringLiteral("/images"), QStringLiteral("Local_3x4.png"), QSize(3, 4), Qt::blue);
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    QString name = QStringLiteral("Local_3x4.png");
    const QPixmap pixmap = NS_Utilities::loadPixmap(name, nullptr);
    QDir::setCurrent(previous);
    EXPECT_EQ(pixmap.size(), QSize(3, 4));
}

TEST(LoadPixmap, UnknownOrDamagedImageGivesNullPixmap)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile damaged(dir.filePath(QStringLiteral("Damaged.png")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("\x89PNG\r\n\x1a\n not really");
    damaged.close();
    const QString folder = dir.path() + QLatin1Char('/');
    for (const char* n : {"NoSuchImage.png", "Damaged.png", ""}) {
        QString name = QString::fromLatin1(n);
        EXPECT_TRUE(NS_Utilities::loadPixmap(name, &folder).isNull()) << n;
    }
}

TEST(LoadPixmap, BuiltInImageIsKeptAfterFirstUse)
{
    QString name = QStringLiteral("appli32_256.png");
    const qint64 first = NS_Utilities::loadPixmap(name, nullptr).cacheKey();
    EXPECT_EQ(NS_Utilities::loadPixmap(name, nullptr).cacheKey(), first);
    qCleanupImages_MW2();
    const QPixmap again = NS_Utilities::loadPixmap(name, nullptr);
    EXPECT_FALSE(again.isNull());
    EXPECT_NE(again.cacheKey(), first);
}

} // namespace
