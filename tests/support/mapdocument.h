#pragma once
// The station's map document as a map viewer reads it: an HTTP response whose body is KML, with the
// station as a Point and the bearing line as a LineString.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace testsupport {

struct MapDocument
{
    bool ok = false; // a 200 response whose body is well-formed KML with both coordinate texts
    QString error;   // why not, when !ok
    QByteArray body;
    QString point; // the Point's <coordinates> text
    QString line;  // the LineString's <coordinates> text
};

// Splits the response at its blank line and reads the body as XML.
MapDocument readMapDocument(const QByteArray& response);

// Fetches the map from the station on `port` and reads it.
MapDocument fetchMap(quint16 port);

// "<longitude>,<latitude>,0", as a KML coordinate tuple.
QString kmlTuple(const QString& latitude, const QString& longitude);

} // namespace testsupport
