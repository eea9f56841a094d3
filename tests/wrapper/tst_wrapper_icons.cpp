// Which icon a component shows: its own icons, the description's, or the built-in ones.

#include "TWrapperFixture.h"

#include "NS_Images.h"

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QTemporaryDir>
#include <QUrl>

namespace {

QImage shown(const CKAVWrapper* wrapper)
{
    return wrapper->icon().pixmap(QSize(96, 96)).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage builtIn(const char* name)
{
    QString text = QString::fromLatin1(name);
    return NS_Utilities::loadPixmap(text).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Image files of one colour each, in a temporary folder.
class TIconFiles {
public:
    TIconFiles()
    {
        write("red.png", Qt::red);
        write("blue.png", Qt::blue);
        write("green.png", Qt::green);
    }
    QString url(const char* file) const { return QUrl::fromLocalFile(m_dir.filePath(file)).toString(); }
    QString missing() const { return QUrl::fromLocalFile(m_dir.filePath("missing.png")).toString(); }
    static QImage image(Qt::GlobalColor color)
    {
        QImage image(96, 96, QImage::Format_ARGB32);
        image.fill(color);
        return image;
    }

private:
    void write(const char* file, Qt::GlobalColor color) { image(color).save(m_dir.filePath(file)); }
    QTemporaryDir m_dir;
};

enum class TExpect { Red, Blue, Green, Generic01, Generic02 };

QImage expectedImage(TExpect e)
{
    switch (e) {
    case TExpect::Red: return TIconFiles::image(Qt::red);
    case TExpect::Blue: return TIconFiles::image(Qt::blue);
    case TExpect::Green: return TIconFiles::image(Qt::green);
    case TExpect::Generic01: return builtIn("Generic_01.png");
    case TExpect::Generic02: return builtIn("Generic_02.png");
    }
    return {};
}

struct TIconCase {
    const char* label;
    bool recall;            // the component answers IMPTotalRecall
    const char* icon1;      // "red", "blue", "missing" or "" (component's first icon)
    const char* icon2;      // the same for the second icon
    const char* iconResult; // result of MPGetIconURLs
    const char* described;  // description icon: "green", "missing" or ""
    TExpect enabled;        // shown right after instantiation
    TExpect disabled;       // shown after Ravuz Uzuvuv was switched off
};

void PrintTo(const TIconCase& c, std::ostream* os) { *os << c.label; }

class TIconRules : public TWrapperTest, public ::testing::WithParamInterface<TIconCase> {
protected:
    QString location(const char* which) const
    {
        const QString w = QString::fromLatin1(which);
        if (w.isEmpty())
            return {};
        if (w == "missing")
            return m_files.missing();
        return m_files.url((w + ".png").toLatin1().constData());
    }
    TIconFiles m_files;
};

} // namespace

TEST_F(TWrapperTest, BuiltInIconsDifferSoTheRulesCanBeTold)
{
    ASSERT_FALSE(builtIn("Generic_01.png").isNull());
    ASSERT_FALSE(builtIn("Generic_02.png").isNull());
    EXPECT_NE(builtIn("Generic_01.png"), builtIn("Generic_02.png"));
}

TEST_P(TIconRules, ShowsTheIconOfTheRecallState)
{
    const TIconCase& c = GetParam();
    TProbeAccess access = probe("Probe");
    QString config = QStringLiteral("iconURLs=%1").arg(QLatin1String(c.iconResult));
    if (!c.recall)
        config += ";answer=IMPInstanceSetup,IPersistStream";
    // Icon strings only where the component returns them with success; a failing call
    // hands over nothing.
    if (QByteArray(c.iconResult) == "0") {
        if (!location(c.icon1).isEmpty())
            config += ";icon1=" + location(c.icon1);
        if (!location(c.icon2).isEmpty())
            config += ";icon2=" + location(c.icon2);
    }
    access.configure(config);

    bool ok = false;
    CKAVWrapper* wrapper = instantiate(
        describe(TestBundles::bundlePath("Probe"), TestBundles::kProbe, "Probe", location(c.described)), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(wrapper->recallEnabled(), c.recall);
    EXPECT_EQ(shown(wrapper), expectedImage(c.enabled));

    wrapper->setRecallEnabled(false);
    wrapper->setDisplayIcon();
    EXPECT_EQ(shown(wrapper), expectedImage(c.disabled));

    if (c.recall) {
        wrapper->setRecallEnabled(true);
        wrapper->setDisplayIcon();
        EXPECT_EQ(shown(wrapper), expectedImage(c.enabled));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Wrapper, TIconRules,
    ::testing::Values(
        TIconCase{"OwnIcons", true, "red", "blue", "0", "green", TExpect::Blue, TExpect::Red},
        TIconCase{"NoOwnIconsWithRecall", true, "", "", "0", "green", TExpect::Generic02, TExpect::Generic01},
        TIconCase{"IconQueryFails", true, "", "", "0x80000008", "green", TExpect::Generic02, TExpect::Generic01},
        TIconCase{"OwnIconsMissingOnDisk", true, "missing", "missing", "0", "", TExpect::Generic02,
                  TExpect::Generic01},
        TIconCase{"OnlyTheSecondIcon", true, "", "blue", "0", "", TExpect::Blue, TExpect::Generic01},
        TIconCase{"NoRecallTakesTheDescriptionIcon", false, "", "", "0", "green", TExpect::Green, TExpect::Green},
        TIconCase{"NoRecallNoDescriptionIcon", false, "", "", "0", "", TExpect::Generic01, TExpect::Generic01},
        TIconCase{"NoRecallDescriptionIconMissing", false, "", "", "0", "missing", TExpect::Generic01,
                  TExpect::Generic01}),
    [](const ::testing::TestParamInfo<TIconCase>& info) { return std::string(info.param.label); });

TEST_F(TWrapperTest, IconQueryFailureKeepsEmptyIconsButEnablesRecall)
{
    TProbeAccess access = probe("Probe");
    access.configure("iconURLs=0x80000008;optionMask=3");
    CKAVWrapper* wrapper = instantiate(describe(TestBundles::bundlePath("Probe"), TestBundles::kProbe));
    EXPECT_TRUE(wrapper->iconLocation(0).isEmpty());
    EXPECT_TRUE(wrapper->iconLocation(1).isEmpty());
    EXPECT_TRUE(wrapper->recallEnabled());
    // The options are still asked after the failed icon query.
    EXPECT_EQ(wrapper->optionMask(), 3u);
    EXPECT_TRUE(access.calls().contains("IMPTotalRecall::MPGetSyncOptions()"));
}

TEST_F(TWrapperTest, OptionQueryFailureLeavesTheMaskAtZero)
{
    TProbeAccess access = probe("Probe");
    access.configure("syncOptions=0x80000008;optionMask=12");
    CKAVWrapper* wrapper = instantiate(describe(TestBundles::bundlePath("Probe"), TestBundles::kProbe));
    EXPECT_TRUE(wrapper->recallEnabled());
    EXPECT_EQ(wrapper->optionMask(), 0u);
}
