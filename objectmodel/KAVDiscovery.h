#pragma once
// Finding the installed plug-ins and creating their components.
//
// The plug-in folder is $MW2_PLUGIN_DIR when set, else $XDG_DATA_HOME/Velmar/MW2/Plugins
// (~/.local/share/Velmar/MW2/Plugins). Only the entries directly inside it are examined.

#include "TPlugDescription.h"

#include <kav/KAVInterfaces.h>

#include <QString>
#include <QStringList>

#include <optional>

// Fills `list` by enumerating the plug-in folder when it is null; returns it. A holder whose
// enumeration found nothing enumerates again on its next call.
TPlugList* EnumKAVPlugins(TPlugList*& list);

// Sets the holder's pointer to null, releases every description's bundle and frees the
// descriptions and the list. Does nothing for a null list.
void DisposeEnumKAVPlugins(TPlugList*& list);

// Enumerates the plug-in folder: a new list in folder order, or null when no description was
// accepted, the folder is missing or cannot be read.
TPlugList* doEnumKAVPlugins();

// The plug-in folder; empty when no data folder can be found.
QString getKAVDirectory();

// The description of component `index` of the bundle at `path` (`pathText`: the path without
// its extension, the name given to a nameless component). Advances `index` when the bundle's
// MW2_KEYS had such an entry. Null, without advancing, when `path` is not a bundle.
TPlugDescription* GetPlugDetails(const QString& path, const QString& pathText, int& index);

// The four fields of MW2_KEYS entry `index` (padded with empty strings), advancing `index`;
// nothing when the bundle has no MW2_KEYS array or no entry `index`.
std::optional<QStringList> queryNewKeys(const TBundle* bundle, int& index);

// The bundle's information string for `key`; empty when there is none.
QString queryKeyValue(const TBundle* bundle, const QString& key);

// Creates the description's component (type IMPInitialise, factory `clsid`) and hands the
// caller its reference: S_OK, or E_FAIL with a null `component`.
HRESULT LoadKAVComponent(IUnknown*& component, const TPlugDescription& description);

// Start and end hooks of the plug-in framework: nothing to do in the program.
void InitializeFramework();
void TerminateFramework();
