#include "SetupDlg.h"

#include "TPreferences.h"

SetupDlg::SetupDlg(QWidget* parent, const char* name, bool modal, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setModal(modal);
    setWindowTitle(tr("Setup"));
}

bool SetupDlg::isAutoSync() const
{
    const auto prefs = NS_Utilities::openPreferences();
    return prefs->value(QStringLiteral("/preferences/PreferencesPage/auto_sync"), QStringLiteral("1"))
               .toString() == QLatin1String("1");
}
