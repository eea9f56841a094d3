#pragma once
// Where the MIDI layer keeps its preferences: INI files. The current location is per
// user, domain "Velmar", product "MW2" (the proxy build uses "MW2Proxy"); the older one
// is system-wide, product "VELMAR Mixwarden" ("VELMAR Mixwarden Proxy Component"),
// and is only read, to take over what an earlier version stored.
// Tests point both elsewhere with QSettings::setPath or hand their own settings objects
// to TUniMIDIPortAccessor::init.

#include <QSettings>
#include <QString>

#include <memory>

namespace NS_Utilities {

inline constexpr const char* kSettingsDomain = "Velmar";

// The product names of the two locations (the proxy build changes them first thing).
void setMIDISettingsProducts(const QString& current, const QString& older);
QString midiSettingsProduct();
QString midiOldSettingsProduct();

// The current location; it does not fall back to system-wide files, so "nothing stored
// yet" is seen as such.
std::unique_ptr<QSettings> setNewPath();
// The older, system-wide location.
std::unique_ptr<QSettings> setOldPath();

} // namespace NS_Utilities
