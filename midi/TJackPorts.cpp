#include "TJackPorts.h"

#if MW_HAVE_JACK

#include <QByteArray>
#include <QtGlobal>

#include <mutex>
#include <set>
#include <string>

namespace {

std::mutex& namesLock()
{
    static std::mutex lock;
    return lock;
}

std::multiset<std::string>& ownNames()
{
    static std::multiset<std::string> names;
    return names;
}

// Looking for a server that is not running is expected, not worth a message.
thread_local bool t_quiet = false;

void jackError(const char* text)
{
    if (!t_quiet)
        qDebug("JACK: %s", text);
}

void jackInfo(const char*)
{
}

} // namespace

void installJackMessageHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function(jackError);
        jack_set_info_function(jackInfo);
    });
}

jack_client_t* openJackClient(const char* name)
{
    installJackMessageHandlers();
    jack_status_t status{};
    t_quiet = true;
    jack_client_t* client = jack_client_open(name, JackNoStartServer, &status);
    t_quiet = false;
    if (!client)
        return nullptr;
    std::lock_guard<std::mutex> lock(namesLock());
    ownNames().insert(jack_get_client_name(client));
    return client;
}

void closeJackClient(jack_client_t* client)
{
    if (!client)
        return;
    {
        std::lock_guard<std::mutex> lock(namesLock());
        auto& names = ownNames();
        const auto it = names.find(jack_get_client_name(client));
        if (it != names.end())
            names.erase(it);
    }
    jack_client_close(client);
}

QStringList jackMidiPorts(jack_client_t* client, int direction)
{
    QStringList result;
    if (!client || (direction != 0 && direction != 1))
        return result;
    const unsigned long flags = direction == 0 ? JackPortIsOutput : JackPortIsInput;
    const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    if (!ports)
        return result;
    std::set<std::string> own;
    {
        std::lock_guard<std::mutex> lock(namesLock());
        own.insert(ownNames().begin(), ownNames().end());
    }
    for (const char** p = ports; *p; ++p) {
        const std::string name(*p);
        const std::string::size_type colon = name.find(':');
        if (colon != std::string::npos && own.count(name.substr(0, colon)))
            continue;
        result.append(QString::fromLocal8Bit(*p));
    }
    jack_free(ports);
    return result;
}

#endif // MW_HAVE_JACK
