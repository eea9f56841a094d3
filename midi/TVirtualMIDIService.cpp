#include "TVirtualMIDIService.h"

#include <algorithm>

namespace {
constexpr int kMaxPacket = 4096;
} // namespace

const char* const TVirtualMIDIService::kLoopbackName = "Virtual Loopback";
const char* const TVirtualMIDIService::kDeviceName = "Simulated Device";

const QByteArray& TVirtualMIDIService::defaultDumpRequest()
{
    static const QByteArray request = QByteArray::fromHex("f07d0110f7");
    return request;
}

QByteArray TVirtualMIDIService::defaultDumpReply()
{
    QByteArray reply = QByteArray::fromHex("f07d0111");
    for (int i = 0; i < kDeviceDumpSize; ++i)
        reply.append(static_cast<char>(i & 0x7F));
    reply.append(static_cast<char>(0xF7));
    return reply;
}

TVirtualMIDIService& TVirtualMIDIService::instance()
{
    static TVirtualMIDIService service;
    return service;
}

TVirtualMIDIService::TVirtualMIDIService()
    : m_thread([this] { run(); })
{
}

TVirtualMIDIService::~TVirtualMIDIService()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void TVirtualMIDIService::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ports.clear();
    m_order[0].clear();
    m_order[1].clear();
    m_queue.clear();
}

void TVirtualMIDIService::ensureDefaultPorts()
{
    bool loopback = false;
    bool device = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& [id, port] : m_ports) {
            loopback = loopback || (port.kind == Kind::Loopback && port.name == kLoopbackName);
            device = device || (port.kind == Kind::Device && port.name == kDeviceName);
        }
    }
    if (!loopback)
        addLoopback(QString::fromLatin1(kLoopbackName));
    if (!device)
        addSimulatedDevice(QString::fromLatin1(kDeviceName), defaultDumpRequest(),
                           defaultDumpReply());
}

int TVirtualMIDIService::addPort(int direction, const QString& name)
{
    const int id = m_nextId++;
    Port& port = m_ports[id];
    port.id = id;
    port.direction = direction;
    port.name = name;
    m_order[direction].push_back(id);
    return id;
}

int TVirtualMIDIService::addSource(const QString& name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return addPort(0, name);
}

int TVirtualMIDIService::addDestination(const QString& name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return addPort(1, name);
}

int TVirtualMIDIService::addLoopback(const QString& name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const int source = addPort(0, name);
    const int destination = addPort(1, name);
    Port& port = m_ports[destination];
    port.kind = Kind::Loopback;
    port.peer = source;
    m_ports[source].kind = Kind::Loopback;
    return destination;
}

int TVirtualMIDIService::addSimulatedDevice(const QString& name, const QByteArray& request,
                                            const QByteArray& reply)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const int source = addPort(0, name);
    const int destination = addPort(1, name);
    Port& port = m_ports[destination];
    port.kind = Kind::Device;
    port.peer = source;
    port.request = request;
    port.reply = reply;
    m_ports[source].kind = Kind::Device;
    return destination;
}

void TVirtualMIDIService::removePort(int id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_ports.find(id);
    if (it == m_ports.end())
        return;
    auto& order = m_order[it->second.direction];
    order.erase(std::remove(order.begin(), order.end(), id), order.end());
    m_ports.erase(it);
}

void TVirtualMIDIService::renamePort(int id, const QString& name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Port* port = find(id))
        port->name = name;
}

int TVirtualMIDIService::numPorts(int direction) const
{
    if (direction != 0 && direction != 1)
        return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_order[direction].size());
}

int TVirtualMIDIService::portAt(int direction, int index) const
{
    if (direction != 0 && direction != 1)
        return -1;
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto& order = m_order[direction];
    return index >= 0 && index < static_cast<int>(order.size()) ? order[index] : -1;
}

QString TVirtualMIDIService::portName(int id) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Port* port = find(id);
    return port ? port->name : QString();
}

int TVirtualMIDIService::sourceOf(int destinationId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Port* port = find(destinationId);
    return port && port->direction == 1 ? port->peer : -1;
}

TVirtualMIDIService::Port* TVirtualMIDIService::find(int id)
{
    const auto it = m_ports.find(id);
    return it == m_ports.end() ? nullptr : &it->second;
}

const TVirtualMIDIService::Port* TVirtualMIDIService::find(int id) const
{
    const auto it = m_ports.find(id);
    return it == m_ports.end() ? nullptr : &it->second;
}

bool TVirtualMIDIService::connect(int sourceId, TVirtualMIDIListener* listener)
{
    if (!listener)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    Port* port = find(sourceId);
    if (!port || port->direction != 0)
        return false;
    if (std::find(port->listeners.begin(), port->listeners.end(), listener)
        == port->listeners.end())
        port->listeners.push_back(listener);
    return true;
}

void TVirtualMIDIService::disconnect(int sourceId, TVirtualMIDIListener* listener)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (Port* port = find(sourceId)) {
            auto& list = port->listeners;
            list.erase(std::remove(list.begin(), list.end(), listener), list.end());
        }
    }
    // A delivery that picked the listener up before it was removed ends first.
    std::lock_guard<std::mutex> wait(m_deliveryLock);
}

bool TVirtualMIDIService::send(int destinationId, const unsigned char* bytes, int count)
{
    if (count <= 0 || !bytes)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    Port* port = find(destinationId);
    if (!port || port->direction != 1)
        return false;
    const QByteArray packet(reinterpret_cast<const char*>(bytes), count);
    port->sent.append({packet, Clock::now()});
    if (port->kind == Kind::Loopback)
        enqueue(port->peer, {packet});
    else if (port->kind == Kind::Device)
        deviceReceives(*port, bytes, count);
    return true;
}

void TVirtualMIDIService::deviceReceives(Port& device, const unsigned char* bytes, int count)
{
    // Collects system-exclusive bytes across packets; other bytes are ignored.
    for (int i = 0; i < count; ++i) {
        const unsigned char b = bytes[i];
        if (b >= 0xF8)
            continue;
        if (b == 0xF0) {
            device.collecting = QByteArray(1, static_cast<char>(b));
            device.inSysEx = true;
            continue;
        }
        if (!device.inSysEx)
            continue;
        if ((b & 0x80) && b != 0xF7) {
            device.inSysEx = false;
            device.collecting.clear();
            continue;
        }
        device.collecting.append(static_cast<char>(b));
        if (b == 0xF7) {
            device.inSysEx = false;
            if (device.collecting == device.request) {
                QList<QByteArray> reply;
                for (qsizetype at = 0; at < device.reply.size(); at += kMaxPacket)
                    reply.append(device.reply.mid(at, kMaxPacket));
                enqueue(device.peer, reply);
            }
            device.collecting.clear();
        }
    }
}

bool TVirtualMIDIService::inject(int sourceId, const QList<QByteArray>& packets)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Port* port = find(sourceId);
    if (!port || port->direction != 0)
        return false;
    enqueue(sourceId, packets);
    return true;
}

void TVirtualMIDIService::enqueue(int sourceId, const QList<QByteArray>& packets)
{
    m_queue.push_back({sourceId, packets});
    m_changed.notify_all();
}

QList<TVirtualMIDIService::TSentPacket> TVirtualMIDIService::sentPackets(int destinationId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Port* port = find(destinationId);
    return port ? port->sent : QList<TSentPacket>();
}

bool TVirtualMIDIService::waitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout,
                              [this] { return m_queue.empty() && !m_delivering; });
}

void TVirtualMIDIService::run()
{
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_stop)
                return;
        }
        // Lock order: delivery lock, then the service lock.
        std::lock_guard<std::mutex> deliveryLock(m_deliveryLock);
        std::vector<TVirtualMIDIListener*> listeners;
        Delivery delivery;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_queue.empty())
                continue; // reset() emptied it meanwhile
            delivery = std::move(m_queue.front());
            m_queue.pop_front();
            if (const Port* port = find(delivery.sourceId))
                listeners = port->listeners;
            m_delivering = true;
        }
        for (TVirtualMIDIListener* listener : listeners)
            listener->virtualPackets(delivery.packets);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_delivering = false;
        }
        m_changed.notify_all();
    }
}
