// Opening the manual: resources folder, URL handling and both failure messages.
#include "NS_Help.h"
#include "TScriptedPrompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

const QString kCaption = QStringLiteral("VELMAR Mixwarden");
const QString kDifficulties =
    QStringLiteral("Due to some technical difficulties, your help file can not be opened at this time.");

QString failedToLoad(const QString& url)
{
    return QStringLiteral("Failed to load \"%1\" help document.\n\nPlease try re-installing the package.\n").arg(url);
}

// Installs a recording opener for the test's lifetime.
class HelpDocumentation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previous = NS_Utilities::setHelpOpener([this](const QUrl& url) {
            opened.append(url);
            return openerResult;
        });
    }
    void TearDown() override { NS_Utilities::setHelpOpener(m_previous); }

    static void writeFile(const QString& path)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("%PDF-1.4\n");
    }

    TScriptedPrompter prompter;
    QList<QUrl> opened;
    bool openerResult = true;

private:
    NS_Utilities::THelpOpener m_previous;
};

TEST_F(HelpDocumentation, ModuleLocationIsTheResourcesFolderNextToTheProgram)
{
    const QString location = NS_Utilities::moduleLocation(nullptr);
    EXPECT_TRUE(location.endsWith(QStringLiteral("share/mixwarden"))) << location.toStdString();
    EXPECT_TRUE(QDir::isAbsolutePath(location));
    EXPECT_EQ(location, QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/mixwarden")));
}

TEST_F(HelpDocumentation, ShippedManualIsOpenedWithoutAnyMessage)
{
    const QString manual = NS_Utilities::moduleLocation(nullptr) + QStringLiteral("/MW.pdf");
    ASSERT_TRUE(QFileInfo(manual).isFile()) << "the build generates " << manual.toStdString();
    QFile pdf(manual);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray content = pdf.readAll();
    EXPECT_TRUE(content.startsWith("%PDF-"));
    // A real manual, not a stub: cover, contents and several chapters.
    EXPECT_GE(content.count("/Type /Page\n") + content.count("/Type /Page "), 8);

    NS_Utilities::ShowHelpDocumentation(nullptr, QStringLiteral("MW.pdf"), nullptr);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(manual));
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_F(HelpDocumentation, ViewerRefusingGivesExactlyTheFailedToLoadWarning)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeFile(dir.filePath(QStringLiteral("MW.pdf")));
    QString bundle = QStringLiteral("com.velmar.test.refusing");
    NS_Utilities::registerBundleResources(bundle, dir.path());
    openerResult = false;
    QWidget parent;

    NS_Utilities::ShowHelpDocumentation(&parent, QStringLiteral("MW.pdf"), &bundle);
    NS_Utilities::unregisterBundleResources(bundle);

    const QString url = QUrl::fromLocalFile(dir.filePath(QStringLiteral("MW.pdf"))).toString();
    EXPECT_EQ(opened.size(), 1);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, QStringLiteral("warning"));
    EXPECT_EQ(prompter.shown[0].caption, kCaption);
    EXPECT_EQ(prompter.shown[0].text, failedToLoad(url));
    EXPECT_TRUE(prompter.shown[0].hadParent);
}

TEST_F(HelpDocumentation, MissingManualCountsAsFailedOpen)
{
    NS_Utilities::ShowHelpDocumentation(nullptr, QStringLiteral("NoSuchManual.pdf"), nullptr);

    const QString url =
        QUrl::fromLocalFile(NS_Utilities::moduleLocation(nullptr) + QStringLiteral("/NoSuchManual.pdf")).toString();
    EXPECT_TRUE(opened.isEmpty()) << "a missing file is never handed to the viewer";
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, QStringLiteral("warning"));
    EXPECT_EQ(prompter.shown[0].text, failedToLoad(url));
    EXPECT_FALSE(prompter.shown[0].hadParent);
}

TEST_F(HelpDocumentation, BundleResourcesWithSpacesAreFound)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("Proxy Bundle #1/Resources"));
    ASSERT_TRUE(QDir().mkpath(folder));
    writeFile(folder + QStringLiteral("/MW.pdf"));
    QString bundle = QStringLiteral("com.velmar.test.spaces");
    NS_Utilities::registerBundleResources(bundle, folder);

    EXPECT_EQ(NS_Utilities::moduleLocation(&bundle), QDir::cleanPath(folder));
    NS_Utilities::ShowHelpDocumentation(nullptr, QStringLiteral("MW.pdf"), &bundle);
    NS_Utilities::unregisterBundleResources(bundle);

    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].toLocalFile(), folder + QStringLiteral("/MW.pdf"));
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_F(HelpDocumentation, UnknownBundleFallsBackToTheProgramsFolder)
{
    QString bundle = QStringLiteral("com.velmar.test.unknown");
    EXPECT_EQ(NS_Utilities::moduleLocation(&bundle), NS_Utilities::moduleLocation(nullptr));
}

// Texts that cannot be made into an absolute file URL: one critical message without a
// parent, true as the result (so no second message), and the viewer is never asked.
class UnusableHelpUrl : public HelpDocumentation, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(UnusableHelpUrl, ReportsTechnicalDifficultiesOnce)
{
    QWidget parent;
    EXPECT_TRUE(NS_Utilities::LaunchHelpSystem(QString::fromUtf8(GetParam()), &parent));
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, QStringLiteral("critical"));
    EXPECT_EQ(prompter.shown[0].caption, kCaption);
    EXPECT_EQ(prompter.shown[0].text, kDifficulties);
    EXPECT_FALSE(prompter.shown[0].hadParent);
}

INSTANTIATE_TEST_SUITE_P(Texts, UnusableHelpUrl,
                         ::testing::Values("", "http://www.velmar.example/MW.pdf", "file:MW.pdf",
                                           "http://[::1", "MW.pdf"));

TEST_F(HelpDocumentation, BundleWithoutResourcesFolderGivesOnlyTheTechnicalDifficultiesMessage)
{
    QString bundle = QStringLiteral("com.velmar.test.noresources");
    NS_Utilities::registerBundleResources(bundle, QString());
    EXPECT_TRUE(NS_Utilities::moduleLocation(&bundle).isEmpty());
    NS_Utilities::ShowHelpDocumentation(nullptr, QStringLiteral("MW.pdf"), &bundle);
    NS_Utilities::unregisterBundleResources(bundle);

    EXPECT_TRUE(opened.isEmpty());
    ASSERT_EQ(prompter.shown.size(), 1) << "no second (\"Failed to load\") message";
    EXPECT_EQ(prompter.shown[0].kind, QStringLiteral("critical"));
    EXPECT_EQ(prompter.shown[0].text, kDifficulties);
}

TEST_F(HelpDocumentation, DirectoryIsNotADocument)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_FALSE(NS_Utilities::LaunchHelpSystem(QUrl::fromLocalFile(dir.path()).toString(), nullptr));
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(prompter.shown.isEmpty());
}

} // namespace
