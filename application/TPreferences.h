#pragma once
// Where preferences live: INI files (~/.config/Velmar/MW2.conf), per user, domain "Velmar", product "MW2" (the proxy
// build switches the product name before anything reads them).

#include <QSettings>
#include <memory>

namespace NS_Utilities {

void setPreferencesProduct(const QString& product);
QString preferencesProduct();
std::unique_ptr<QSettings> openPreferences();

} // namespace NS_Utilities
