#include "mapassets.h"

#include <QFile>
#include <QUrl>

#include <algorithm>
#include <iterator>

namespace web {

namespace {

const QByteArray kNoCache = QByteArrayLiteral("no-cache");
const QByteArray kOneDay = QByteArrayLiteral("max-age=86400");

// The page's own scripts and style, built into the program.
const QLatin1String kPageFiles[] = {QLatin1String("/livemap.js"), QLatin1String("/fix.js"), QLatin1String("/history.js"),
                                    QLatin1String("/livemap.css")};

// Leaflet's own files as its style sheet and script name them, and where the system keeps them.
struct LeafletFile
{
    const char* path;
    const char* file;
    const char* contentType;
};
const LeafletFile kLeafletFiles[] = {
    {"/leaflet/leaflet.js", "leaflet.min.js", "text/javascript; charset=utf-8"},
    {"/leaflet/leaflet.css", "leaflet.css", "text/css; charset=utf-8"},
    {"/leaflet/images/layers.png", "images/layers.png", "image/png"},
    {"/leaflet/images/layers-2x.png", "images/layers-2x.png", "image/png"},
    {"/leaflet/images/marker-icon.png", "images/marker-icon.png", "image/png"},
    {"/leaflet/images/marker-icon-2x.png", "images/marker-icon-2x.png", "image/png"},
    {"/leaflet/images/marker-shadow.png", "images/marker-shadow.png", "image/png"},
};

std::optional<QByteArray> readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QString attributionFor(const QString& tilesUrl)
{
    if (tilesUrl == MapAssets::defaultTilesUrl())
        return QStringLiteral("&copy; <a href=\"https://www.openstreetmap.org/copyright\">OpenStreetMap</a> contributors");
    return QStringLiteral("Map tiles: ") + QUrl(tilesUrl).host().toHtmlEscaped();
}

} // namespace

MapAssets::MapAssets(QString tilesUrl, QString leafletDir)
    : m_tilesUrl(tilesUrl.isEmpty() ? defaultTilesUrl() : std::move(tilesUrl))
    , m_leafletDir(std::move(leafletDir))
{
}

QString MapAssets::defaultTilesUrl()
{
    return QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png");
}

bool MapAssets::hasLeaflet() const
{
    return QFile::exists(m_leafletDir + QStringLiteral("/leaflet.min.js"));
}

QByteArray MapAssets::page() const
{
    QByteArray page = readFile(QStringLiteral(":/livemap/index.html")).value_or(QByteArray());
    page.replace("@TILES@", m_tilesUrl.toHtmlEscaped().toUtf8());
    page.replace("@ATTRIBUTION@", attributionFor(m_tilesUrl).toHtmlEscaped().toUtf8());
    return page;
}

std::optional<MapAsset> MapAssets::find(const QString& path, bool gzipAccepted) const
{
    if (path == QStringLiteral("/"))
        return MapAsset{page(), "text/html; charset=utf-8", kNoCache};
    if (std::find(std::begin(kPageFiles), std::end(kPageFiles), path) != std::end(kPageFiles)) {
        const auto body = readFile(QStringLiteral(":/livemap") + path);
        if (!body)
            return std::nullopt;
        return MapAsset{*body,
                        path.endsWith(QStringLiteral(".js")) ? "text/javascript; charset=utf-8" : "text/css; charset=utf-8",
                        kNoCache};
    }
    for (const LeafletFile& leaflet : kLeafletFiles) {
        if (path != QLatin1String(leaflet.path))
            continue;
        const QString file = m_leafletDir + u'/' + QLatin1String(leaflet.file);
        // The system keeps compressed copies of the script and style beside them.
        if (gzipAccepted && !file.endsWith(QStringLiteral(".png"))) {
            if (const auto gzipped = readFile(file + QStringLiteral(".gz")))
                return MapAsset{*gzipped, leaflet.contentType, kOneDay, true};
        }
        if (const auto body = readFile(file))
            return MapAsset{*body, leaflet.contentType, kOneDay};
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace web
