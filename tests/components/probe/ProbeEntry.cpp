// Exported entry points of a probe module: the factories named in Info.json, the host's
// instance counting hooks, and the log/configuration access used by tests.

#include "ProbeComponent.h"
#include "ProbePropertyPage.h"
#include "ProbeState.h"

#include <cstring>

namespace {

void* makeComponent(const char* factoryName, const char* clsidKey, const CFUUIDBytes* typeID)
{
    NS_Probe::log(std::string(factoryName) + "(type="
                  + (typeID ? NS_Probe::interfaceName(*typeID) : std::string("null")) + ")");
    if (!typeID || !IsEqualIID(*typeID, IID_IMPInitialise) || NS_Probe::config("factory") == "null")
        return nullptr;
    IMPInitialise* component = KAVNewObject<CompProbe>(NS_Probe::configUuid(clsidKey));
    return static_cast<IUnknown*>(component);
}

} // namespace

KAV_EXPORT void* ProbeFactory(void*, const CFUUIDBytes* typeID)
{
    return makeComponent("ProbeFactory", "clsid", typeID);
}

// A second component of the same bundle (bundles offering two components).
KAV_EXPORT void* ProbeFactory2(void*, const CFUUIDBytes* typeID)
{
    return makeComponent("ProbeFactory2", "clsid2", typeID);
}

KAV_EXPORT void* ProbePageFactory(void*, const CFUUIDBytes* typeID)
{
    NS_Probe::log("ProbePageFactory(type=" + (typeID ? NS_Probe::interfaceName(*typeID) : std::string("null")) + ")");
    if (!typeID || !IsEqualIID(*typeID, IID_IPropertyPage))
        return nullptr;
    IPropertyPage* page = KAVNewObject<ProbePropertyPage>(NS_Probe::configUuid("pageid"));
    return static_cast<IUnknown*>(page);
}

// Lets the host count our instances per factory.
KAV_EXPORT_FACTORY_INSTANCE_HOOKS()

// Copies the log ("line\n" per call) into `buffer` (always terminated when size > 0);
// returns the full length, so a caller can retry with a larger buffer.
KAV_EXPORT std::size_t ProbeLogText(char* buffer, std::size_t size)
{
    const std::string text = NS_Probe::logText();
    if (buffer && size) {
        const std::size_t n = std::min(size - 1, text.size());
        std::memcpy(buffer, text.data(), n);
        buffer[n] = 0;
    }
    return text.size();
}

KAV_EXPORT void ProbeLogClear() { NS_Probe::clearLog(); }

// Adds "key=value;..." items on top of the current configuration.
KAV_EXPORT void ProbeConfigure(const char* text)
{
    if (text)
        NS_Probe::addConfig(text);
}

// Back to the bundle's compiled configuration (and MW_PROBE_CONFIG).
KAV_EXPORT void ProbeResetConfig() { NS_Probe::resetConfig(); }

KAV_EXPORT int ProbeLiveObjects() { return NS_Probe::liveObjects(); }
