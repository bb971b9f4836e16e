#pragma once
// tarnvale-webserver --network-link: a small KML document holding a network link to this station's
// map, which a map viewer opens in one click and then refreshes by itself. The website port comes from
// the settings file as the start-up would take it, but the file is only read, never written.

#include <QByteArray>
#include <QString>

namespace station {

struct CommandLine;

// The port map viewers reach the station on, by the settings file at `path`: its five port digits
// after the start-up's digit check. A missing or damaged file, a path that leads to no regular file,
// or a port outside 1 to 65535, gives the default port 10000 and a warning for the operator.
struct LinkPort
{
    int port = 10000;
    QString warning; // empty when the file gave the port
    // False when the file's own port is one no station can listen on: the station then serves no map
    // on its website port at all, and `port` is only the link's stand-in.
    bool listened = true;
};
LinkPort websitePortForLink(const QString& path);

// The KML 2.2 document: one NetworkLink to http://`urlHost`:`port`/, fetched every `refresh`
// seconds without moving the viewer's view. `urlHost` as web::urlHost writes it.
QByteArray networkLinkDocument(const QString& urlHost, int port, const QString& refresh);

// The same link to the transmitter's fix, http://`urlHost`:`mapPort`/fix.kml on the live map's port.
QByteArray fixLinkDocument(const QString& urlHost, int mapPort, const QString& refresh);

// Writes the document for the command line to standard output (warnings to standard error; with
// --fix the settings file is not read, the port being given); the
// status to exit with: 0, 1 when it could not be written, 2 when this machine's host name is no
// usable host.
int printNetworkLink(const CommandLine& commandLine);

} // namespace station
