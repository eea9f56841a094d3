#include "MIDIDriverFactory.h"

#include "MIDIAssert.h"
#include "TAppMIDITransportSource.h"
#include "TSystemPortLists.h"
#include "TVirtualMIDI.h"

#if MW_HAVE_ALSA
#include "TAlsaMIDI.h"
#endif
#if MW_HAVE_JACK
#include "TJackMIDI.h"
#endif

#include <new>

namespace {

// When the virtual service is the program's MIDI service it offers its default ports.
TVirtualMIDIService& virtualService()
{
    TVirtualMIDIService& service = TVirtualMIDIService::instance();
    static const bool prepared = [&service] {
        service.ensureDefaultPorts();
        return true;
    }();
    (void)prepared;
    return service;
}

} // namespace

TMIDIDriver* MIDIDriverInstance(TMIDIDriverKind kind)
{
    switch (kind) {
    case TMIDIDriverKind::Alsa:
#if MW_HAVE_ALSA
        return new TAlsaMIDI;
#else
        break;
#endif
    case TMIDIDriverKind::Jack:
#if MW_HAVE_JACK
        return new TJackMIDI;
#else
        break;
#endif
    case TMIDIDriverKind::Virtual:
        break;
    }
    return new TVirtualMIDI(virtualService());
}

TMIDITransport* MIDITransportInstance()
{
    return MIDIDriverInstance(MIDIDriverInUse().kind);
}

void installMIDITransportFactory()
{
    if (!TAppMIDITransportSource::factory())
        TAppMIDITransportSource::setFactory(&MIDITransportInstance);
}

TMIDIPortAccessor* MIDIPortAccessor(TMIDIDriverKind kind)
{
    TUniMIDIPortAccessor* accessor = nullptr;
    switch (kind) {
    case TMIDIDriverKind::Alsa:
        accessor = new (std::nothrow) TAlsaMIDIPortAccessor;
        break;
    case TMIDIDriverKind::Jack:
        accessor = new (std::nothrow) TJackMIDIPortAccessor;
        break;
    case TMIDIDriverKind::Virtual:
        accessor = new (std::nothrow) TVirtualServicePortAccessor(virtualService());
        break;
    }
    MW_MIDI_ASSERT(accessor, "uniPortAccessor", "MIDIMacTransport");
    if (accessor)
        accessor->init();
    return accessor;
}

TMIDIPortAccessor* MIDIPortAccessor()
{
    installMIDITransportFactory();
    return MIDIPortAccessor(MIDIDriverInUse().kind);
}
