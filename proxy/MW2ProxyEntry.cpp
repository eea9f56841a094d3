// Entry point of the MW2Proxy bundle. The component objects it creates come with the proxy
// form of the Workspace; until then every request is answered as an unknown type.
#include <kav/KAVTypes.h>

KAV_EXPORT void* MyFactoryFunction(void* allocator, const CFUUIDBytes* typeID)
{
    (void)allocator;
    (void)typeID;
    return nullptr;
}
