#include "tcpsocketset.h"

#include "connectionrules.h"
#include "connectionshedder.h"
#include "lingeringcloser.h"
#include "readinessqueue.h"
#include "recordgrowth.h"
#include "socketcalls.h"
#include "tcplistener.h"
#include "tcpsocketsetelement.h"

#include <QTimer>

// The elements and their connections' arrival: listening, accepting, reading and the peer's close.
// Sending and its reports are in tcpsocketsetsending.cpp, closing and lingering in
// tcpsocketsetclosing.cpp.

namespace platform {

namespace {

// Read from one connection per turn of the queue; a peer that sends more is read again next turn.
constexpr qint64 kReadChunk = 16 * 1024;
constexpr int kReadsPerTurn = 8;

quint64 tokenOf(int index, quint32 connection)
{
    return (quint64{connection} << 32) | static_cast<quint32>(index);
}

} // namespace

TcpSocketSet::TcpSocketSet(QObject* parent)
    : QObject(parent)
    , m_queue(new ReadinessQueue(this))
    , m_closer(new LingeringCloser(this))
    , m_drained(new QTimer(this))
{
    (void)load(0);
    m_queue->setHandler([this](quint64 token, quint32 events) { ready(token, events); });
    m_drained->setSingleShot(true);
    m_drained->setInterval(kDrainedMs);
    connect(m_drained, &QTimer::timeout, this, &TcpSocketSet::giveBackBurst);
}

TcpSocketSet::~TcpSocketSet()
{
    for (const std::unique_ptr<Element>& e : m_elements) {
        if (e && e->held())
            closeDescriptor(e->descriptor);
    }
}

int TcpSocketSet::ubound() const { return static_cast<int>(m_elements.size()) - 1; }

bool TcpSocketSet::load(int index)
{
    if (index != ubound() + 1)
        return fail(QStringLiteral("Element %1 cannot be created").arg(index));
    reserveRecords(m_elements, m_elements.size() + 1);
    m_elements.emplace_back();
    return true;
}

TcpSocketSet::Element* TcpSocketSet::element(int index) const
{
    if (index < 0 || index > ubound())
        return nullptr;
    return m_elements[static_cast<size_t>(index)].get();
}

// The element, if it still holds the connection an event was raised for.
TcpSocketSet::Element* TcpSocketSet::current(int index, quint32 connection) const
{
    Element* e = element(index);
    return e && e->held() && e->connection == connection ? e : nullptr;
}

bool TcpSocketSet::fail(const QString& error)
{
    m_error = error;
    return false;
}

int TcpSocketSet::firstClosed(int from) const
{
    for (int i = std::max(from, 1); i <= ubound(); ++i) {
        if (!m_elements[static_cast<size_t>(i)])
            return i;
    }
    return 0;
}

SocketState::Code TcpSocketSet::state(int index) const
{
    const Element* e = element(index);
    return e ? e->state : SocketState::Closed;
}

void TcpSocketSet::setLocalPort(int index, qint32 port)
{
    if (index >= 0 && index <= ubound())
        m_listening[index].localPort = port;
}

qint32 TcpSocketSet::localPort(int index) const
{
    const auto found = m_listening.find(index);
    return found == m_listening.end() ? 0 : found->second.localPort;
}

bool TcpSocketSet::listen(int index)
{
    if (index < 0 || index > ubound())
        return fail(QStringLiteral("No element %1").arg(index));
    if (element(index) && element(index)->held())
        return fail(QStringLiteral("Element %1 holds a connection").arg(index));
    const qint32 port = localPort(index);
    if (!connection::isPort(port))
        return fail(QStringLiteral("Port %1 is outside 1 to 65535").arg(port));
    if (!m_queue->isValid())
        return fail(QStringLiteral("Connections cannot be watched on this system"));
    close(index);

    auto* server = new TcpListener(this);
    server->setListenBacklogSize(connection::kListenBacklog);
    if (!server->listen(QHostAddress::Any, static_cast<quint16>(port))) {
        m_error = server->errorString();
        delete server;
        return false;
    }
    if (!server->setDescriptorTaker([this, index](qintptr descriptor) { takeDescriptor(index, descriptor); })) {
        delete server;
        return fail(QStringLiteral("Connections cannot be taken as descriptors on this system"));
    }
    m_listening[index].server = server;
    auto e = std::make_unique<Element>();
    e->state = SocketState::Listening;
    m_elements[static_cast<size_t>(index)] = std::move(e);
    return true;
}

qint32 TcpSocketSet::nextRequestId()
{
    do {
        m_nextRequestId = m_nextRequestId == std::numeric_limits<qint32>::max() ? 1 : m_nextRequestId + 1;
    } while (m_pending.contains(m_nextRequestId));
    return m_nextRequestId;
}

void TcpSocketSet::takeDescriptor(int index, qintptr descriptor)
{
    const qint32 id = nextRequestId();
    m_pending.insert(id, static_cast<int>(descriptor));
    emit connectionRequest(index, id);
    const auto left = m_pending.constFind(id);
    if (left != m_pending.constEnd()) { // not taken over by the handler
        const int untaken = *left;
        m_pending.erase(left);
        closePending(untaken);
    }
}

bool TcpSocketSet::accept(int index, qint32 requestId)
{
    if (index < 1 || index > ubound() || element(index))
        return fail(QStringLiteral("Element %1 cannot accept now").arg(index));
    const auto found = m_pending.constFind(requestId);
    if (found == m_pending.constEnd())
        return fail(QStringLiteral("No pending connection %1").arg(requestId));
    const int descriptor = *found;
    m_pending.erase(found);

    auto e = std::make_unique<Element>();
    e->descriptor = descriptor;
    e->connection = ++m_lastConnection;
    e->state = SocketState::Connected;
    e->acceptedAt = acceptClock();
    e->interest = ReadinessQueue::kReadable;
    // Level-triggered: bytes or a close that came before are reported by the queue's next turn.
    if (!m_queue->add(descriptor, e->interest, tokenOf(index, e->connection))) {
        closeDescriptor(descriptor);
        return fail(QStringLiteral("Element %1 cannot take the connection").arg(index));
    }
    m_elements[static_cast<size_t>(index)] = std::move(e);
    ++m_connections;
    return true;
}

void TcpSocketSet::ready(quint64 token, quint32 events)
{
    const auto index = static_cast<int>(token & 0xffffffffu);
    const auto connection = static_cast<quint32>(token >> 32);
    Element* e = current(index, connection);
    if (!e)
        return; // let go since the queue reported it
    constexpr quint32 kTrouble = ReadinessQueue::kFailed | ReadinessQueue::kHungUp;
    if (e->sending() && (events & (ReadinessQueue::kWritable | kTrouble)))
        flush(index, connection);
    e = current(index, connection);
    if (e && e->reading && (events & (ReadinessQueue::kReadable | kTrouble)))
        readAvailable(index, connection);
}

// Reads what the system holds for the connection, then reports it, as it comes, with dataArrival.
void TcpSocketSet::readAvailable(int index, quint32 connection)
{
    Element* e = current(index, connection);
    char chunk[kReadChunk];
    bool got = false;
    for (int turn = 0; turn < kReadsPerTurn; ++turn) {
        qint64 moved = 0;
        const Transfer done = receiveSome(e->descriptor, chunk, kReadChunk, moved);
        if (done == Transfer::Moved && moved > 0) {
            e->input.append(chunk, moved);
            got = true;
            if (moved < kReadChunk)
                break; // most likely all there was; level-triggered, the queue says if not
            continue;
        }
        if (done == Transfer::WouldBlock)
            break;
        peerGone(index, *e, done == Transfer::Failed);
        break;
    }
    if (!got)
        return;
    e->heard = true;
    if (e->state == SocketState::Connected)
        emit dataArrival(index, clamp32(e->input.size()));
}

// The peer closed or reset the connection, or it failed: nothing more is read (a level-triggered
// end-of-stream would be reported for ever); whatever arrived before is delivered first, then the
// close, from the event loop.
void TcpSocketSet::peerGone(int index, Element& e, bool failed)
{
    if (!e.reading)
        return;
    e.reading = false;
    if (failed) {
        e.state = SocketState::Error;
        e.output = QByteArray();
        e.outputAt = 0;
    }
    watch(index, e);
    queue({index, e.connection, Due::PeerClose});
}

// Tells the queue what the connection waits for now: the peer's bytes while it reads, room to send
// while bytes wait. Nothing at all takes the descriptor out of the queue, which otherwise would go on
// reporting a reset connection.
void TcpSocketSet::watch(int index, Element& e)
{
    const quint32 interest = (e.reading ? ReadinessQueue::kReadable : 0) | (e.sending() ? ReadinessQueue::kWritable : 0);
    if (interest == e.interest)
        return;
    if (interest == 0)
        m_queue->remove(e.descriptor);
    else if (e.interest == 0)
        (void)m_queue->add(e.descriptor, interest, tokenOf(index, e.connection));
    else
        (void)m_queue->modify(e.descriptor, interest, tokenOf(index, e.connection));
    e.interest = interest;
}

void TcpSocketSet::peerClosed(int index, quint32 connection)
{
    Element* e = current(index, connection);
    if (!e || e->state == SocketState::PeerClosing)
        return;
    if (e->state == SocketState::Connected && !e->input.isEmpty()) {
        emit dataArrival(index, clamp32(e->input.size()));
        e = current(index, connection); // the handler may have closed the element
        if (!e)
            return;
    }
    e->state = SocketState::PeerClosing;
    emit closed(index);
}

QString TcpSocketSet::getData(int index)
{
    QString data;
    (void)getData(index, data);
    return data;
}

bool TcpSocketSet::getData(int index, QString& data)
{
    Element* e = element(index);
    if (!e || !e->held())
        return fail(QStringLiteral("Element %1 holds no connection").arg(index));
    data = QString::fromLatin1(std::exchange(e->input, QByteArray()));
    return true;
}

} // namespace platform
