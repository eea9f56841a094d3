#pragma once
// Creating plug-in instances.

#include <kav/KAVInterfaces.h>

// Creates an instance of type `typeID` with the factory `factoryID` and returns the one
// reference the caller now owns, or null. An instance that answers IMPInstanceSetup is set up
// with (factoryID, typeID) first; if it answers with no object or the set-up fails, the
// instance is released and null returned. One that does not answer is kept as it is.
IUnknown* CreateIUnknown(const CFUUIDBytes& typeID, const CFUUIDBytes& factoryID);
