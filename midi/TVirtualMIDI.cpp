#include "TVirtualMIDI.h"

TVirtualMIDI::TVirtualMIDI(TVirtualMIDIService& service)
    : m_service(service)
{
}

TVirtualMIDI::~TVirtualMIDI()
{
    closeInput();
    closeOutput();
}

bool TVirtualMIDI::selectSource(int index)
{
    m_source = m_service.portAt(0, index);
    return m_source >= 0;
}

bool TVirtualMIDI::selectDestination(int index)
{
    m_destination = m_service.portAt(1, index);
    return m_destination >= 0;
}

bool TVirtualMIDI::connectSource()
{
    m_connected = m_service.connect(m_source, this);
    return m_connected;
}

void TVirtualMIDI::releaseSource()
{
    if (m_connected)
        m_service.disconnect(m_source, this);
    m_connected = false;
    m_source = -1;
}

void TVirtualMIDI::releaseDestination()
{
    m_destination = -1;
}

bool TVirtualMIDI::sendPacket(const unsigned char* bytes, int count)
{
    return m_service.send(m_destination, bytes, count);
}

void TVirtualMIDI::virtualPackets(const QList<QByteArray>& packets)
{
    for (const QByteArray& packet : packets)
        dispatchPacket(static_cast<int>(packet.size()),
                       reinterpret_cast<const unsigned char*>(packet.constData()));
}
