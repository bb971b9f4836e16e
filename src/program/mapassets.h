#pragma once
// What the live map page is made of, under fixed paths: the page, its script and style (built into the
// program), and Leaflet's script, style and images, read from the copy the system installs
// (libjs-leaflet), so the page needs no other server and no internet.

#include <QByteArray>
#include <QString>

#include <optional>

namespace web {

struct MapAsset
{
    QByteArray body;
    QByteArray contentType;
    QByteArray cacheControl;
    bool gzipped = false; // body is the gzip-compressed file: sent with Content-Encoding: gzip
};

class MapAssets
{
public:
    // Where Debian's libjs-leaflet puts Leaflet.
    static constexpr const char* kLeafletDir = "/usr/share/javascript/leaflet";

    // `tilesUrl`: the base map's tile address, with {z}, {x} and {y}; the default is OpenStreetMap's.
    explicit MapAssets(QString tilesUrl = {}, QString leafletDir = QString::fromLatin1(kLeafletDir));

    static QString defaultTilesUrl();
    // Whether Leaflet's script is where the page expects it.
    bool hasLeaflet() const;
    QString leafletDir() const { return m_leafletDir; }

    // The asset at `path` ("/", "/livemap.js", "/leaflet/leaflet.js", ...); none for any other path.
    // `gzipAccepted`: the client takes gzip, so Leaflet's compressed copies may be sent.
    std::optional<MapAsset> find(const QString& path, bool gzipAccepted = false) const;

    // The page with the tile address and its attribution filled in.
    QByteArray page() const;

private:
    QString m_tilesUrl;
    QString m_leafletDir;
};

} // namespace web
