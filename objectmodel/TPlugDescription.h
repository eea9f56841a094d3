#pragma once
// One component offered by a plug-in bundle.

#include <kav/KAVTypes.h>

#include <QString>

#include <cstdint>
#include <list>

class TBundle;

struct TPlugDescription {
    std::int32_t type = 0;  // type bits; kept in the plug-in list only with one of 0x7002
    QString name;           // shown to the user
    QString iconURL;        // icon location, used when the component supplies no icons
    CFUUIDBytes clsid{};    // factory identifier; all zero when the text was not valid
    TBundle* bundle = nullptr; // retained by the description, released by its disposer
};

// Type bits of which a component must have one to be listed.
inline constexpr std::int32_t kKAVPlugTypeMask = 0x7002;
// Type bit asking for the editor window to be kept when it is closed.
inline constexpr std::int32_t kKAVPlugTypeKeepEditor = 0x10;

using TPlugList = std::list<TPlugDescription*>;
