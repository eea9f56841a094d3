#include "CreateIUnknown.h"

#include "KAVUuidText.h"
#include "TBundle.h"

#include <QtDebug>

IUnknown* CreateIUnknown(const CFUUIDBytes& typeID, const CFUUIDBytes& factoryID)
{
    IUnknown* instance = TBundle::createInstance(factoryID, typeID);
    if (!instance)
        return nullptr;

    void* answer = nullptr;
    const HRESULT hr = instance->QueryInterface(IID_IMPInstanceSetup, &answer);
    if (FAILED(hr))
        return instance; // no set-up interface: the instance is used as it is

    auto* setup = static_cast<IMPInstanceSetup*>(answer);
    if (!setup) {
        qWarning("Instance of factory %s answered IMPInstanceSetup without an object; discarded",
                 qPrintable(NS_Utilities::uuidText(factoryID)));
        instance->Release();
        return nullptr;
    }
    const HRESULT setupResult = setup->MPInstanceSetup(factoryID, typeID);
    setup->Release();
    if (FAILED(setupResult)) {
        qWarning("Instance of factory %s refused its set-up (0x%08x); discarded",
                 qPrintable(NS_Utilities::uuidText(factoryID)), static_cast<unsigned>(setupResult));
        instance->Release();
        return nullptr;
    }
    return instance;
}
