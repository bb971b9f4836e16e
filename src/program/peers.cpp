#include "peers.h"

#include "core/web/peeranswer.h"
#include "platform/eventlog.h"

#include <QNetworkReply>
#include <QNetworkRequest>

#include <utility>

namespace station {

struct Peers::Peer
{
    QUrl url;          // as given
    QString shown;     // as the log and the map show it: escaped
    QUrl readUrl;      // the given address, or the status of the page found there
    QNetworkReply* reply = nullptr; // the read in flight
    QTimer deadline;   // the whole answer's time
    QTimer ageing;     // how long the line read last counts
    QString abortedWhy; // why the read in flight was given up
    bool answering = false; // the read in flight has had an answer's head or bytes
    bool failing = false;   // named on standard error as not readable
    bool known = false;     // its station's position was read
    geo::PeerMark mark;
};

namespace {

QString seconds(int milliseconds)
{
    return QString::number(milliseconds / 1000.0);
}

bool sameLine(const std::optional<geo::BearingRay>& a, const std::optional<geo::BearingRay>& b)
{
    if (!a || !b)
        return !a && !b;
    return a->stationLatitude == b->stationLatitude && a->stationLongitude == b->stationLongitude
        && a->endLatitude == b->endLatitude && a->endLongitude == b->endLongitude && a->bearing == b->bearing
        && a->time == b->time;
}

bool sameMark(const geo::PeerMark& a, const geo::PeerMark& b)
{
    return a.stationLatitude == b.stationLatitude && a.stationLongitude == b.stationLongitude
        && sameLine(a.line, b.line);
}

} // namespace

Peers::Peers(const QStringList& urls, QObject* parent)
    : Peers(urls, Timing{}, parent)
{
}

Peers::Peers(const QStringList& urls, Timing timing, QObject* parent)
    : QObject(parent)
    , m_timing(timing)
{
    // A peer's address is the one asked for: a redirect is an answer of its own, not followed.
    m_network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    for (const QString& text : urls) {
        auto peer = std::make_unique<Peer>();
        peer->url = QUrl(text);
        peer->shown = peer->url.toString(QUrl::FullyEncoded);
        peer->readUrl = peer->url;
        peer->deadline.setSingleShot(true);
        peer->ageing.setSingleShot(true);
        Peer* p = peer.get();
        connect(&peer->deadline, &QTimer::timeout, this, [this, p] {
            abortRead(*p, p->answering ? QStringLiteral("answer not complete within %1 s").arg(seconds(m_timing.timeoutMs))
                                       : QStringLiteral("no answer within %1 s").arg(seconds(m_timing.timeoutMs)));
        });
        connect(&peer->ageing, &QTimer::timeout, this, [this, p] {
            if (!p->mark.line)
                return;
            p->mark.line.reset();
            emit changed();
        });
        m_peers.push_back(std::move(peer));
    }
    connect(&m_tick, &QTimer::timeout, this, &Peers::readIdlePeers);
}

Peers::~Peers()
{
    // The replies go with the network manager; none may report to a peer already gone.
    for (const auto& peer : m_peers) {
        if (QNetworkReply* reply = std::exchange(peer->reply, nullptr)) {
            disconnect(reply, nullptr, this, nullptr);
            reply->abort();
        }
    }
}

void Peers::start()
{
    m_tick.start(m_timing.periodMs);
    readIdlePeers();
}

void Peers::readIdlePeers()
{
    for (const auto& peer : m_peers) {
        if (!peer->reply)
            read(*peer);
    }
}

QVector<geo::PeerMark> Peers::marks() const
{
    QVector<geo::PeerMark> marks;
    for (const auto& peer : m_peers) {
        if (peer->known)
            marks << peer->mark;
    }
    return marks;
}

void Peers::read(Peer& peer)
{
    QNetworkRequest request(peer.readUrl);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("tarnvale-webserver/" TARNVALE_VERSION));
    QNetworkReply* reply = m_network.get(request);
    // The network thread holds no more of an answer than one too many bytes.
    reply->setReadBufferSize(web::kMaxPeerAnswerBytes + 1);
    peer.reply = reply;
    peer.abortedWhy.clear();
    peer.answering = false;
    const QString tooMuch = QStringLiteral("more than %1 KiB").arg(web::kMaxPeerAnswerBytes / 1024);
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, &peer, reply, tooMuch] {
        peer.answering = true;
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > web::kMaxPeerAnswerBytes)
            abortRead(peer, tooMuch);
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, &peer, reply, tooMuch] {
        peer.answering = true;
        if (reply->bytesAvailable() > web::kMaxPeerAnswerBytes)
            abortRead(peer, tooMuch);
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [this, &peer, tooMuch](qint64 received, qint64) {
        if (received > web::kMaxPeerAnswerBytes)
            abortRead(peer, tooMuch);
    });
    connect(reply, &QNetworkReply::finished, this, [this, &peer] { finish(peer); });
    peer.deadline.start(m_timing.timeoutMs);
}

void Peers::abortRead(Peer& peer, const QString& why)
{
    if (!peer.reply || !peer.abortedWhy.isEmpty())
        return;
    peer.abortedWhy = why;
    peer.reply->abort(); // finishes at once
}

void Peers::finish(Peer& peer)
{
    QNetworkReply* reply = std::exchange(peer.reply, nullptr);
    if (!reply)
        return;
    peer.deadline.stop();
    reply->deleteLater();
    if (!peer.abortedWhy.isEmpty())
        return fail(peer, peer.abortedWhy);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 300 && status < 400)
        return fail(peer, QStringLiteral("a redirect (HTTP %1), not followed").arg(status));
    if (status != 0 && (status < 200 || status >= 300))
        return fail(peer, QStringLiteral("HTTP %1").arg(status));
    if (reply->error() != QNetworkReply::NoError)
        return fail(peer, reply->errorString());
    take(peer, reply->readAll());
}

void Peers::take(Peer& peer, const QByteArray& body)
{
    const web::PeerAnswer answer = web::readPeerAnswer(body);
    if (answer.kind == web::PeerAnswer::Kind::Page) {
        // A live map's page: its status lies beside it, where the page itself reads it.
        const QUrl status = peer.url.resolved(QUrl(QStringLiteral("status.json")));
        if (peer.readUrl == peer.url && status != peer.url) {
            peer.readUrl = status;
            read(peer);
            return;
        }
        return fail(peer, QStringLiteral("a page, not a live map's status"));
    }
    if (answer.kind == web::PeerAnswer::Kind::Other)
        return fail(peer, QStringLiteral("something else (%1)").arg(answer.problem));

    const geo::PeerMark before = peer.mark;
    const bool wasKnown = std::exchange(peer.known, true);
    peer.mark.source = peer.shown;
    peer.mark.stationLatitude = answer.stationLatitude;
    peer.mark.stationLongitude = answer.stationLongitude;
    if (answer.drawn && !answer.test) {
        geo::BearingRay line;
        line.source = peer.shown;
        line.stationLatitude = answer.stationLatitude;
        line.stationLongitude = answer.stationLongitude;
        line.endLatitude = answer.endLatitude;
        line.endLongitude = answer.endLongitude;
        line.bearing = answer.bearing;
        // A KML document does not say when its line was drawn: the time it was read stands in.
        line.time = answer.time.isValid() ? answer.time : QDateTime::currentDateTimeUtc();
        peer.mark.line = line;
        peer.ageing.start(m_timing.countsMs);
    } else {
        peer.mark.line.reset();
        peer.ageing.stop();
    }
    if (std::exchange(peer.failing, false))
        platform::logEvent(QStringLiteral("Peer %1 is read again: %2").arg(peer.shown, web::peerAnswerKindText(answer.kind)));
    if (!wasKnown || !sameMark(before, peer.mark))
        emit changed();
}

void Peers::fail(Peer& peer, const QString& why)
{
    const bool atStatus = peer.readUrl != peer.url;
    peer.readUrl = peer.url; // the page is read again next time: it may have become something else
    if (std::exchange(peer.failing, true))
        return;
    platform::logEvent(QStringLiteral("Peer %1 cannot be read: %2%3")
                           .arg(peer.shown, atStatus ? QStringLiteral("its page's status.json: ") : QString(), why));
}

} // namespace station
