#include "TMIDIPortSettings.h"

#include <mutex>

namespace NS_Utilities {

namespace {

std::mutex& productLock()
{
    static std::mutex lock;
    return lock;
}

QString& currentProduct()
{
    static QString product = QStringLiteral("MW2");
    return product;
}

QString& olderProduct()
{
    static QString product = QStringLiteral("VELMAR Mixwarden");
    return product;
}

} // namespace

void setMIDISettingsProducts(const QString& current, const QString& older)
{
    std::lock_guard<std::mutex> lock(productLock());
    currentProduct() = current;
    olderProduct() = older;
}

QString midiSettingsProduct()
{
    std::lock_guard<std::mutex> lock(productLock());
    return currentProduct();
}

QString midiOldSettingsProduct()
{
    std::lock_guard<std::mutex> lock(productLock());
    return olderProduct();
}

std::unique_ptr<QSettings> setNewPath()
{
    auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                QString::fromLatin1(kSettingsDomain),
                                                midiSettingsProduct());
    settings->setFallbacksEnabled(false);
    return settings;
}

std::unique_ptr<QSettings> setOldPath()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::SystemScope,
                                       QString::fromLatin1(kSettingsDomain),
                                       midiOldSettingsProduct());
}

} // namespace NS_Utilities
