#include "TSystemPortLists.h"

#if MW_HAVE_ALSA
#include "TAlsaSeqPorts.h"
#include <unistd.h>
#endif
#if MW_HAVE_JACK
#include "TJackPorts.h"
#endif

int TSnapshotMIDIPortAccessor::getNumPorts(int direction) const
{
    return direction == 0 || direction == 1 ? static_cast<int>(m_names[direction].size()) : 0;
}

QString TSnapshotMIDIPortAccessor::identifierForIndex(int direction, int index) const
{
    if (index < 0 || index >= getNumPorts(direction))
        return QString();
    return displayName(m_names[direction].at(index), index);
}

TAlsaMIDIPortAccessor::TAlsaMIDIPortAccessor()
{
#if MW_HAVE_ALSA
    if (access("/dev/snd/seq", F_OK) != 0)
        return;
    snd_seq_t* seq = openAlsaSeqForListing();
    if (!seq)
        return;
    for (int direction = 0; direction < kDirections; ++direction) {
        for (const TAlsaPortRef& ref : alsaSeqPorts(seq, direction))
            m_names[direction].append(ref.portName.isEmpty()
                                          ? QString()
                                          : ref.clientName + QLatin1Char(':') + ref.portName);
    }
    snd_seq_close(seq);
#endif
}

TJackMIDIPortAccessor::TJackMIDIPortAccessor()
{
#if MW_HAVE_JACK
    jack_client_t* client = openJackClient("Mixwarden ports");
    if (!client)
        return;
    for (int direction = 0; direction < kDirections; ++direction)
        m_names[direction] = jackMidiPorts(client, direction);
    closeJackClient(client);
#endif
}

TVirtualServicePortAccessor::TVirtualServicePortAccessor(const TVirtualMIDIService& service)
{
    for (int direction = 0; direction < kDirections; ++direction) {
        const int count = service.numPorts(direction);
        for (int i = 0; i < count; ++i)
            m_names[direction].append(service.portName(service.portAt(direction, i)));
    }
}
