#include "TPreferences.h"

namespace NS_Utilities {

namespace {
QString& product()
{
    static QString s_product = QStringLiteral("MW2");
    return s_product;
}
} // namespace

void setPreferencesProduct(const QString& name)
{
    product() = name;
}

QString preferencesProduct()
{
    return product();
}

std::unique_ptr<QSettings> openPreferences()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Velmar"), product());
}

} // namespace NS_Utilities
