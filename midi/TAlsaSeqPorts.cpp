#include "TAlsaSeqPorts.h"

#if MW_HAVE_ALSA

#include <unistd.h>

QList<TAlsaPortRef> alsaSeqPorts(snd_seq_t* seq, int direction)
{
    QList<TAlsaPortRef> ports;
    if (!seq || (direction != 0 && direction != 1))
        return ports;
    const unsigned int wanted = direction == 0
        ? (SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ)
        : (SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE);
    const int self = getpid();

    snd_seq_client_info_t* client;
    snd_seq_port_info_t* port;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq, client) >= 0) {
        const int number = snd_seq_client_info_get_client(client);
        if (number == SND_SEQ_CLIENT_SYSTEM || snd_seq_client_info_get_pid(client) == self)
            continue;
        const QString clientName = QString::fromLocal8Bit(snd_seq_client_info_get_name(client));
        snd_seq_port_info_set_client(port, number);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq, port) >= 0) {
            const unsigned int caps = snd_seq_port_info_get_capability(port);
            if ((caps & wanted) != wanted || (caps & SND_SEQ_PORT_CAP_NO_EXPORT))
                continue;
            TAlsaPortRef ref;
            ref.client = number;
            ref.port = snd_seq_port_info_get_port(port);
            ref.clientName = clientName;
            ref.portName = QString::fromLocal8Bit(snd_seq_port_info_get_name(port));
            ports.append(ref);
        }
    }
    return ports;
}

snd_seq_t* openAlsaSeqForListing()
{
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0)
        return nullptr;
    return seq;
}

#endif // MW_HAVE_ALSA
