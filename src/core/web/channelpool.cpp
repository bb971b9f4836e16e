#include "channelpool.h"

#include "request.h"

#include "platform/recordgrowth.h"
#include "platform/tcpsocketset.h"
#include "platform/timerset.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace web {

namespace {

// The close loop lets pending events run once, but not from inside another close loop's pass: a close
// that happens there (another answer ending in that pass) closes its socket and resets its record
// without running events again. Passes nested in passes, as deep as the events kept coming, left
// whatever the handlers below them had still to do (a waiting viewer's next piece, the station's exit)
// under their stack frames for as long as other clients kept the server busy.
constexpr int kMaxNestedCloseLoops = 1;

} // namespace

ChannelPool::ChannelPool(platform::TcpSocketSet& sockets, platform::TimerSet& timers,
                         std::function<QString()> document, QObject* parent)
    : QObject(parent)
    , m_sockets(sockets)
    , m_timers(timers)
    , m_document(std::move(document))
{
    using platform::TcpSocketSet;
    connect(&m_sockets, &TcpSocketSet::connectionRequest, this, &ChannelPool::HTTP_SERVER_ConnectionRequest);
    connect(&m_sockets, &TcpSocketSet::dataArrival, this, &ChannelPool::HTTP_SERVER_DataArrival);
    connect(&m_sockets, &TcpSocketSet::sendProgress, this, &ChannelPool::HTTP_SERVER_SendProgress);
    connect(&m_sockets, &TcpSocketSet::sendComplete, this, &ChannelPool::HTTP_SERVER_SendComplete);
    connect(&m_sockets, &TcpSocketSet::closed, this, &ChannelPool::HTTP_SERVER_Close);
    connect(&m_timers, &platform::TimerSet::fired, this, &ChannelPool::Timer_SEND_DATA_Timer);

    m_idleSweep.setSingleShot(true);
    connect(&m_idleSweep, &QTimer::timeout, this, &ChannelPool::closeIdleChannels);

    m_shedder = &platform::ConnectionShedder::instance();
    m_shedSource = m_shedder->addSource([this] { return silentChannels(); });
}

ChannelPool::~ChannelPool()
{
    if (m_shedder)
        m_shedder->removeSource(m_shedSource);
}

std::vector<platform::SheddableConnection> ChannelPool::silentChannels()
{
    std::vector<platform::SheddableConnection> silent;
    for (const platform::TcpSocketSet::SilentConnection& connection : m_sockets.silentConnections()) {
        if (!isChannel(connection.index))
            continue;
        silent.push_back({connection.acceptedAt, [this, connection] {
            // Checked again just before: earlier closes let events run, and bytes may have come.
            if (!m_sockets.isSilent(connection))
                return false;
            HTTP_SERVER_Close(connection.index);
            return true;
        }});
    }
    return silent;
}

void ChannelPool::finishAnswers(int milliseconds)
{
    // One after the other, without a pass of the event loop for each.
    ++m_closeDepth;
    for (const platform::TcpSocketSet::SilentConnection& silent : m_sockets.silentConnections()) {
        if (isChannel(silent.index) && m_sockets.isSilent(silent))
            HTTP_SERVER_Close(silent.index);
    }
    --m_closeDepth;
    const auto finished = [this] { return !answering() && m_sockets.lingeringInSockets() == 0; };
    if (finished())
        return;
    QEventLoop wait;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &wait, &QEventLoop::quit);
    deadline.start(milliseconds);
    QTimer look;
    connect(&look, &QTimer::timeout, &wait, [&] {
        if (finished())
            wait.quit();
    });
    look.start(10);
    wait.exec();
}

// Whether a channel still holds a connection it may answer.
bool ChannelPool::answering() const
{
    for (int i = 1; i < static_cast<int>(m_records.size()); ++i) {
        if (m_sockets.state(i) == platform::SocketState::Connected)
            return true;
    }
    return false;
}

bool ChannelPool::isChannel(int index) const
{
    return index >= 1 && index < static_cast<int>(m_records.size());
}

Channel* ChannelPool::findChannel(int index) const
{
    return m_records.at(static_cast<size_t>(index)).get();
}

Channel& ChannelPool::channel(int index)
{
    if (!isChannel(index))
        throw std::out_of_range("no such channel");
    std::unique_ptr<Channel>& held = m_records[static_cast<size_t>(index)];
    if (!held)
        held = std::make_unique<Channel>();
    return *held;
}

const HTTP_CHANNEL& ChannelPool::record(int index) const
{
    static const HTTP_CHANNEL kFree;
    const Channel* held = findChannel(index);
    return held ? *held : kFree;
}

int ChannelPool::recordsHeld() const
{
    const auto holds = [](const std::unique_ptr<Channel>& held) { return held != nullptr; };
    return static_cast<int>(std::count_if(m_records.begin(), m_records.end(), holds));
}

// Socket, record and pacing timer come into being together, at the next index.
int ChannelPool::createChannel()
{
    const int n = m_sockets.ubound() + 1;
    if (n > m_channelLimit || !m_sockets.load(n))
        return 0;
    platform::reserveRecords(m_records, static_cast<size_t>(n) + 1);
    m_records.resize(static_cast<size_t>(n) + 1);
    platform::TimerSet::Element timer = m_timers.add();
    timer.setEnabled(false);
    timer.setInterval(1);
    return n;
}

void ChannelPool::HTTP_SERVER_ConnectionRequest(int, qint32 requestId)
{
    // The lowest index whose socket is closed (State 0), passing over channels inside their close loop.
    int chosen = m_sockets.firstClosed(1);
    const auto closing = [this](int index) {
        const Channel* held = isChannel(index) ? findChannel(index) : nullptr;
        return held != nullptr && held->closing;
    };
    while (chosen != 0 && closing(chosen))
        chosen = m_sockets.firstClosed(chosen + 1);
    if (chosen == 0)
        chosen = createChannel();
    // With every channel index in use the connection is not taken; the socket set closes it.
    if (!isChannel(chosen))
        return;

    // The connection's record: its response starts from zero.
    m_records[static_cast<size_t>(chosen)] = std::make_unique<Channel>();
    if (m_sockets.accept(chosen, requestId)) {
        const qint64 deadline = platform::steadyMs() + m_idleTimeoutMs;
        channel(chosen).idleDeadline = deadline;
        sweepIdleAt(deadline);
    } else {
        m_records[static_cast<size_t>(chosen)].reset();
    }
}

// The idle time-out of every channel is kept by one timer, set for the earliest deadline (a deadline
// later than the one it is set for leaves it as it is).
void ChannelPool::sweepIdleAt(qint64 deadline)
{
    if (m_idleSweep.isActive() && m_idleSweepAt <= deadline)
        return;
    m_idleSweepAt = deadline;
    m_idleSweep.start(static_cast<int>(std::max<qint64>(0, deadline - platform::steadyMs())));
}

void ChannelPool::closeIdleChannels()
{
    const qint64 now = platform::steadyMs();
    for (size_t i = 1; i < m_records.size(); ++i) {
        // Closing lets events run: every deadline is read afresh.
        const qint64 deadline = m_records[i] ? m_records[i]->idleDeadline : 0;
        if (deadline != 0 && deadline <= now)
            HTTP_SERVER_Close(static_cast<int>(i));
    }
    qint64 next = std::numeric_limits<qint64>::max();
    for (size_t i = 1; i < m_records.size(); ++i) {
        if (m_records[i] && m_records[i]->idleDeadline != 0)
            next = std::min(next, m_records[i]->idleDeadline);
    }
    if (next != std::numeric_limits<qint64>::max())
        sweepIdleAt(next);
}

void ChannelPool::HTTP_SERVER_Close(int index)
{
    if (!isChannel(index))
        return;
    Channel& closing = channel(index);
    closing.closing = true;
    closing.idleDeadline = 0;
    m_timers[index].setEnabled(false);
    do {
        m_sockets.close(index);
        if (m_closeDepth < kMaxNestedCloseLoops) {
            ++m_closeDepth;
            QCoreApplication::processEvents();
            --m_closeDepth;
        }
    } while (m_sockets.state(index) != platform::SocketState::Closed);
    // State 0: the record is reset by letting it go (the events above may have let it go already). A
    // free channel holds no buffer; the rest of a body cut short is never sent, as a reused channel's
    // next document replaces it and any other answer ends with its header.
    m_records[static_cast<size_t>(index)].reset();
}

void ChannelPool::HTTP_SERVER_DataArrival(int index, qint32)
{
    if (!isChannel(index) || m_sockets.state(index) != platform::SocketState::Connected)
        return;
    QString arrival;
    if (!m_sockets.getData(index, arrival)) {
        HTTP_SERVER_Close(index);
        return;
    }

    QString header;
    if (isDocumentRequest(arrival)) {
        QString body = m_document();
        const auto length = static_cast<qint32>(body.size());
        header = documentHeader(length);
        HTTP_CHANNEL& record = channel(index);
        record.PENDING_BODY = std::move(body);
        record.TOTAL_LENGTH = static_cast<qint32>(header.size()) + length;
    } else {
        header = errorHeader();
        channel(index).TOTAL_LENGTH = static_cast<qint32>(header.size());
    }
    // A socket that cannot take the answer cannot complete it either.
    if (!m_sockets.sendData(index, header))
        HTTP_SERVER_Close(index);
}

void ChannelPool::HTTP_SERVER_SendProgress(int index, qint32 bytesSent, qint32)
{
    // A free channel has no response to count for.
    if (Channel* held = isChannel(index) ? findChannel(index) : nullptr)
        held->BYTES_SENT += bytesSent;
}

void ChannelPool::HTTP_SERVER_SendComplete(int index)
{
    if (!isChannel(index))
        return;
    const HTTP_CHANNEL& record = this->record(index);
    if (record.BYTES_SENT < record.TOTAL_LENGTH) {
        // The next piece goes out from the timer, never from inside this notification.
        m_timers[index].setInterval(1);
        m_timers[index].setEnabled(true);
    } else {
        HTTP_SERVER_Close(index);
    }
}

void ChannelPool::Timer_SEND_DATA_Timer(int index)
{
    if (!isChannel(index) || m_sockets.state(index) != platform::SocketState::Connected)
        return;
    HTTP_CHANNEL& record = channel(index);
    // Bytes still owed but nothing left to send: the response can never complete, so it ends here
    // instead of ticking with empty pieces for ever.
    if (record.PENDING_BODY.isEmpty() && record.BYTES_SENT < record.TOTAL_LENGTH) {
        HTTP_SERVER_Close(index);
        return;
    }
    const QString piece = record.PENDING_BODY.left(kPieceSize);
    record.PENDING_BODY.remove(0, piece.size());
    if (!m_sockets.sendData(index, piece)) {
        HTTP_SERVER_Close(index);
        return;
    }
    m_timers[index].setEnabled(false);
}

} // namespace web
