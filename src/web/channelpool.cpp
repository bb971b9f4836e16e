#include "channelpool.h"

#include "platform/tcpsocketset.h"
#include "platform/timerset.h"

namespace web {

ChannelPool::ChannelPool(platform::TcpSocketSet& sockets, platform::TimerSet& timers,
                         std::function<QString()> document, QObject* parent)
    : QObject(parent)
    , m_sockets(sockets)
    , m_timers(timers)
    , m_document(std::move(document))
{
}

void ChannelPool::Close(int index)
{
    m_timers[index].setEnabled(false);
    m_sockets.close(index);
    m_records[static_cast<size_t>(index)].TOTAL_LENGTH = 0;
    m_records[static_cast<size_t>(index)].BYTES_SENT = 0;
}

} // namespace web
