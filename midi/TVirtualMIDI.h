#pragma once
// MIDI driver on the in-process virtual service. Sources and destinations are the
// service's ports in the order they were added.

#include "TMIDIDriver.h"
#include "TVirtualMIDIService.h"

class TVirtualMIDI : public TMIDIDriver, private TVirtualMIDIListener
{
    Q_OBJECT
public:
    explicit TVirtualMIDI(TVirtualMIDIService& service = TVirtualMIDIService::instance());
    ~TVirtualMIDI() override;

    bool hasClient() const override { return true; }
    int sourceId() const { return m_source; }
    int destinationId() const { return m_destination; }

protected:
    bool ensureInputPort() override { return true; }
    bool ensureOutputPort() override { return true; }
    bool selectSource(int index) override;
    bool selectDestination(int index) override;
    bool connectSource() override;
    void releaseSource() override;
    void releaseDestination() override;
    bool sendPacket(const unsigned char* bytes, int count) override;

private:
    void virtualPackets(const QList<QByteArray>& packets) override;

    TVirtualMIDIService& m_service;
    int m_source = -1;
    int m_destination = -1;
    bool m_connected = false;
};
