#pragma once
// An in-process MIDI service: named sources and destinations, loopback pairs (what is
// sent to the destination comes back from the source of the same name) and simulated
// devices (a destination that answers one system-exclusive request on its source).
// It stands in for a platform service where none is present, and makes driver tests
// deterministic: every packet sent to a destination is logged with its time.
//
// Packets reach the listeners of a source on the service's own delivery thread, in the
// order they were sent or injected, one packet list at a time.

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

// Receives packet lists from a source (on the delivery thread).
class TVirtualMIDIListener
{
public:
    virtual ~TVirtualMIDIListener() = default;
    virtual void virtualPackets(const QList<QByteArray>& packets) = 0;
};

class TVirtualMIDIService
{
public:
    using Clock = std::chrono::steady_clock;

    struct TSentPacket
    {
        QByteArray bytes;
        Clock::time_point when;
    };

    // Names of the ports offered when the service is the program's MIDI service.
    static const char* const kLoopbackName;
    static const char* const kDeviceName;
    // The default simulated device answers this request with a reply of
    // kDeviceDumpSize data bytes: F0 7D 01 11 <data> F7 (0x7D: non-commercial ID).
    static const QByteArray& defaultDumpRequest();
    static QByteArray defaultDumpReply();
    static constexpr int kDeviceDumpSize = 256;

    static TVirtualMIDIService& instance();

    TVirtualMIDIService();
    ~TVirtualMIDIService();
    TVirtualMIDIService(const TVirtualMIDIService&) = delete;
    TVirtualMIDIService& operator=(const TVirtualMIDIService&) = delete;

    // Removes every port and log (connected listeners hear nothing more).
    void reset();
    // Adds the default loopback and simulated device unless they exist.
    void ensureDefaultPorts();

    // Each call returns the new port's id (ids are never reused).
    int addSource(const QString& name);
    int addDestination(const QString& name);
    // A destination and a source of the same name; returns the destination's id.
    int addLoopback(const QString& name);
    // A destination and a source of the same name; a complete system-exclusive message
    // equal to `request` arriving at the destination makes the source send `reply`
    // (in packets of at most 4096 bytes). Returns the destination's id.
    int addSimulatedDevice(const QString& name, const QByteArray& request,
                           const QByteArray& reply);
    void removePort(int id);
    void renamePort(int id, const QString& name);

    // direction 0: sources, 1: destinations, in the order they were added.
    int numPorts(int direction) const;
    // The id of port number `index` (0-based) of a direction, or -1.
    int portAt(int direction, int index) const;
    QString portName(int id) const;
    int sourceOf(int destinationId) const; // the paired source of a loopback / device, or -1

    bool connect(int sourceId, TVirtualMIDIListener* listener);
    // After this returns, the listener is not being called and will not be again.
    void disconnect(int sourceId, TVirtualMIDIListener* listener);

    // Logs the packet at the destination and lets a loopback or device react. False for
    // an unknown destination or an empty packet.
    bool send(int destinationId, const unsigned char* bytes, int count);
    // Delivers a packet list from a source as if a device had sent it.
    bool inject(int sourceId, const QList<QByteArray>& packets);

    QList<TSentPacket> sentPackets(int destinationId) const;
    // True once every queued packet list has been delivered (bounded wait).
    bool waitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    enum class Kind { Plain, Loopback, Device };
    struct Port
    {
        int id = -1;
        int direction = 0;
        QString name;
        Kind kind = Kind::Plain;
        int peer = -1;              // destination -> its source
        QByteArray request, reply;  // simulated device
        QByteArray collecting;      // device: system-exclusive bytes so far
        bool inSysEx = false;
        QList<TSentPacket> sent;    // destination log
        std::vector<TVirtualMIDIListener*> listeners;
    };
    struct Delivery
    {
        int sourceId = -1;
        QList<QByteArray> packets;
    };

    int addPort(int direction, const QString& name);
    Port* find(int id);
    const Port* find(int id) const;
    void enqueue(int sourceId, const QList<QByteArray>& packets);  // caller holds m_mutex
    void deviceReceives(Port& device, const unsigned char* bytes, int count);
    void run();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<int, Port> m_ports;
    std::vector<int> m_order[2];
    int m_nextId = 1;
    std::deque<Delivery> m_queue;
    bool m_delivering = false;
    bool m_stop = false;
    std::thread m_thread;
    // Held by the delivery thread around each call of listeners, so that disconnect can
    // wait for a call in progress.
    std::mutex m_deliveryLock;
};
