#include "webmap.h"

#include "bearinghistory.h"
#include "commandline.h"
#include "fixtracker.h"
#include "peers.h"
#include "mapstatus.h"
#include "networklink.h"
#include "core/station/stationcore.h"

#include "core/geo/geojson.h"
#include "platform/eventlog.h"
#include "platform/filelimit.h"
#include "platform/httplistener.h"
#include "platform/paths.h"
#include "platform/tcplistener.h"
#include "livemap.h"

#include <QDir>
#include <QUrl>

namespace station {

namespace {

// The one place the live map learns that the station changed: the model's signals for everything its
// status carries (the line and the position, the bearing drawn, the DF state, the website port). The
// feed sends the status after the whole handler, once, and only when it differs from the last sent.
void tellOfChanges(const StationModel& model, web::LiveFeed& feed)
{
    QObject::connect(&model, &StationModel::lineChanged, &feed, &web::LiveFeed::statusChanged);
    QObject::connect(&model, &StationModel::bearingDrawn, &feed, &web::LiveFeed::statusChanged);
    QObject::connect(&model, &StationModel::dfStateChanged, &feed, &web::LiveFeed::statusChanged);
    QObject::connect(&model, &StationModel::websiteChanged, &feed, &web::LiveFeed::statusChanged);
}

} // namespace

WebMap::WebMap() = default;
WebMap::~WebMap() = default;

QString webMapPortClash(const CommandLine& commandLine)
{
    if (commandLine.webMapPort == 0)
        return {};
    // The port the start-up will listen on: the settings file's, or the default file's when it is
    // missing or damaged (the start-up then writes the default file).
    const QString settingsFile = platform::settingsFilePath();
    const LinkPort website = websitePortForLink(settingsFile);
    if (!website.listened || commandLine.webMapPort != website.port)
        return {};
    return QStringLiteral("--web-map: %1 is the website port (set in %2): choose another port for the live map")
        .arg(commandLine.webMapPort)
        .arg(QDir::toNativeSeparators(settingsFile));
}

int WebMap::start(StationCore& station, const CommandLine& commandLine)
{
    if (commandLine.webMapPort == 0)
        return 0;
    // Room for the map's own connections and streams beside everything the website port may hold.
    platform::raiseOpenFileLimit(platform::kWantedOpenFiles + platform::HttpListener::kMaxConnections
                                     + platform::HttpListener::kMaxStreams,
                                 false);

    const auto status = [&model = station.model()] { return geo::statusGeoJson(mapStatus(model)); };
    m_map = std::make_unique<web::LiveMap>(status, web::MapAssets(commandLine.tilesUrl));
    if (!m_map->listen(commandLine.webMapPort)) {
        platform::logEvent(QStringLiteral("Live map port %1 cannot be used: %2")
                               .arg(commandLine.webMapPort)
                               .arg(m_map->errorString()));
        m_map.reset();
        // As for a website port that a station without an operator cannot use: a supervisor tries again.
        return StationCore::kExitWebsitePortUnusable;
    }
    tellOfChanges(station.model(), m_map->feed());
    // Kept from the start, so that a page opened late gets the whole hunt.
    const auto* history = new BearingHistory(station.model(), commandLine.historyMinutes, m_map.get());
    m_map->setHistory([history] { return history->json(); });
    followTheFix(station.model(), commandLine);
    platform::logEvent(QStringLiteral("Serving the live map on port %1 (open http://<this machine>:%1/ in a browser)")
                           .arg(commandLine.webMapPort));
    if (const int streams = m_map->listener()->maxStreams(); streams < platform::HttpListener::kMaxStreams) {
        platform::logEvent(QStringLiteral("Live map: at most %1 live streams at once (open-file limit %2); pages beyond "
                                          "them fetch the status once a second")
                               .arg(streams)
                               .arg(platform::currentOpenFileLimit().soft));
    }
    if (!m_map->assets().hasLeaflet()) {
        platform::logEvent(QStringLiteral("Live map: no Leaflet in %1 (package libjs-leaflet): its page cannot draw the map")
                               .arg(m_map->assets().leafletDir()));
    }
    return 0;
}

// The fix from the station's own line and its peers' (read from the start), served and sent on every
// change.
void WebMap::followTheFix(const StationModel& model, const CommandLine& commandLine)
{
    Peers* peers = nullptr;
    if (!commandLine.peers.isEmpty()) {
        peers = new Peers(commandLine.peers, m_map.get());
        QStringList shown;
        for (const QString& url : commandLine.peers)
            shown << QUrl(url).toString(QUrl::FullyEncoded);
        platform::logEvent(QStringLiteral("Reading %1 peer(s) once a second: %2").arg(shown.size()).arg(shown.join(u", ")));
    }
    const auto* tracker = new FixTracker(model, peers, commandLine.bearingSpread, m_map.get());
    m_map->setFixDocuments([tracker] { return tracker->json(); }, [tracker] { return tracker->kml(); });
    QObject::connect(tracker, &FixTracker::changed, &m_map->feed(), &web::LiveFeed::fixChanged);
    if (peers)
        peers->start();
}

void WebMap::stopAccepting()
{
    if (!m_map)
        return;
    // The map is bound to the platform's listener only (LiveMap::listen).
    for (QObject* server : m_map->servers()) {
        if (auto* listener = qobject_cast<platform::TcpListener*>(server))
            listener->close();
    }
}

} // namespace station
