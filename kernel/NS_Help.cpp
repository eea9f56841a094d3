#include "NS_Help.h"

#include "NS_Utilities.h"
#include "TPrompter.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QUrl>

#ifndef MW_RESOURCE_SUBDIR
#define MW_RESOURCE_SUBDIR "share/mixwarden"
#endif

namespace NS_Utilities {

namespace {

const QString kCaption = QStringLiteral("VELMAR Mixwarden");

struct TBundleRegistry
{
    QMutex mutex;
    QHash<QString, QString> resources;
};

TBundleRegistry& bundles()
{
    static TBundleRegistry s_registry;
    return s_registry;
}

THelpOpener& installedOpener()
{
    static THelpOpener s_opener;
    return s_opener;
}

bool openWithDesktop(const QUrl& fileUrl)
{
    return QDesktopServices::openUrl(fileUrl);
}

} // namespace

THelpOpener setHelpOpener(THelpOpener opener)
{
    THelpOpener previous = std::move(installedOpener());
    installedOpener() = std::move(opener);
    return previous;
}

bool isPanther()
{
    return true;
}

void registerBundleResources(const QString& bundleId, const QString& resourcesPath)
{
    TBundleRegistry& registry = bundles();
    QMutexLocker lock(&registry.mutex);
    // An empty path records a bundle that has no resources folder.
    registry.resources.insert(bundleId, resourcesPath.isEmpty()
                                            ? QString()
                                            : QDir::cleanPath(QFileInfo(resourcesPath).absoluteFilePath()));
}

void unregisterBundleResources(const QString& bundleId)
{
    TBundleRegistry& registry = bundles();
    QMutexLocker lock(&registry.mutex);
    registry.resources.remove(bundleId);
}

QString moduleLocation(QString* bundleId)
{
    if (bundleId && !bundleId->isEmpty()) {
        TBundleRegistry& registry = bundles();
        QMutexLocker lock(&registry.mutex);
        const auto found = registry.resources.constFind(*bundleId);
        if (found != registry.resources.constEnd()) {
            if (found->isEmpty())
                reportAssert("resPathCFString", kUtilitiesSource, __LINE__);
            return *found;
        }
    }
    if (!QCoreApplication::instance()) {
        reportAssert("bundle", kUtilitiesSource, __LINE__);
        return QString();
    }
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (programFolder.isEmpty()) {
        reportAssert("resPathCFString", kUtilitiesSource, __LINE__);
        return QString();
    }
    return QDir::cleanPath(programFolder + QStringLiteral("/../") + QStringLiteral(MW_RESOURCE_SUBDIR));
}

void ShowHelpDocumentation(QWidget* parent, const QString& fileName, QString* bundleId)
{
    const QString folder = moduleLocation(isPanther() ? bundleId : nullptr);
    const QString url = folder.isEmpty() ? QString() : QUrl::fromLocalFile(QDir(folder).filePath(fileName)).toString();
    if (!LaunchHelpSystem(url, parent)) {
        showWarning(parent, kCaption,
                    QStringLiteral("Failed to load \"%1\" help document.\n\nPlease try re-installing the package.\n")
                        .arg(url));
    }
}

bool LaunchHelpSystem(const QString& url, QWidget* parent)
{
    Q_UNUSED(parent); // the "cannot be opened" message has no parent on purpose
    const QUrl sysUrl(url, QUrl::TolerantMode);
    const QString path = sysUrl.isValid() && sysUrl.isLocalFile() ? sysUrl.toLocalFile() : QString();
    bool canOpen = !path.isEmpty() && QDir::isAbsolutePath(path);
    if (!canOpen)
        reportAssert("sysUrl", kUtilitiesSource, __LINE__);
    // Older systems could not open a path with a space in it.
    if (canOpen && !isPanther() && url.contains(QLatin1Char(' ')))
        canOpen = false;

    if (canOpen) {
        const QFileInfo file(path);
        if (!file.isFile())
            return false;
        const THelpOpener& opener = installedOpener();
        const QUrl fileUrl = QUrl::fromLocalFile(file.absoluteFilePath());
        return opener ? opener(fileUrl) : openWithDesktop(fileUrl);
    }
    showCritical(nullptr, kCaption,
                 QStringLiteral("Due to some technical difficulties, your help file can not be opened at this time."));
    return true;
}

} // namespace NS_Utilities
