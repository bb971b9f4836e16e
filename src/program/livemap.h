#pragma once
// The station's own live map, on a port of its own beside the website port (which goes on serving
// only the KML document): a small web application on Qt's HTTP server module.
//   /             the page: a Leaflet map with the station, the bearing line and the DF state
//   /status.json  the station and its line as GeoJSON
//   /live         the same status as Server-Sent Events, sent again on every change, and the fix as
//                 events of their own type ("fix")
//   /fix.json     where the stations' lines cross: the fix and its error ellipse as GeoJSON
//   /fix.kml      the same fix as a KML document, for a map viewer's network link
//   /history.json the DF bearings of the last minutes
//   the page's script and style, and Leaflet's script, style and images (MapAssets)
// Any other path is 404, a method other than GET and HEAD 405, a request with a body 413. HTTP/1.0
// requests are answered in HTTP/1.0. The module itself sets no limits: it is bound to an HttpListener,
// which keeps every connection within them; a /live request beyond its stream limit is answered 503
// with Retry-After.

#include "livefeed.h"
#include "mapassets.h"

#include <QAbstractHttpServer>
#include <QByteArray>

#include <functional>
#include <optional>

namespace platform {
class HttpListener;
}

namespace web {

class LiveMap : public QAbstractHttpServer
{
    Q_OBJECT

public:
    // `status` gives the station's status as GeoJSON at the moment it is asked; whoever changes it
    // says so through feed().statusChanged().
    LiveMap(std::function<QByteArray()> status, MapAssets assets, QObject* parent = nullptr);
    ~LiveMap() override;

    // The fix as GeoJSON and as KML, asked when requested; `json` also goes to the feed, whose
    // fixChanged() whoever changes the fix calls. Before they are given: no fix, for one line.
    void setFixDocuments(std::function<QByteArray()> json, std::function<QByteArray()> kml);
    // The bearings of the last minutes as JSON; before it is given: none in 30 minutes.
    void setHistory(std::function<QByteArray()> json);

    // Listens on every interface on `port`; false (errorString() says why) when it cannot.
    bool listen(int port);
    QString errorString() const { return m_error; }

    // Seconds a client refused a stream is asked to wait before it tries again.
    static constexpr int kStreamRetrySeconds = 5;

    LiveFeed& feed() { return m_feed; }
    // The listener's limits, once listening (tests lower them).
    platform::HttpListener* listener() { return m_listener; }
    const MapAssets& assets() const { return m_assets; }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    // The station's documents that change as it runs (never cached): none for any other path.
    std::optional<MapAsset> document(const QString& path) const;

    std::function<QByteArray()> m_status;
    std::function<QByteArray()> m_fixJson;
    std::function<QByteArray()> m_fixKml;
    std::function<QByteArray()> m_history;
    MapAssets m_assets;
    LiveFeed m_feed;
    platform::HttpListener* m_listener = nullptr; // owned by the module once bound
    QString m_error;
};

} // namespace web
