#include "networklink.h"

#include "commandline.h"
#include "core/station/settingsfile.h"

#include "core/options/digitfields.h"
#include "platform/connectionrules.h"
#include "platform/eventlog.h"
#include "platform/paths.h"
#include "core/web/urlhost.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QXmlStreamWriter>

#include <cstdio>

namespace station {

namespace {

constexpr int kDefaultPort = 10000;

QByteArray linkDocument(const QString& name, const QString& address, const QString& refresh)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(QStringLiteral("http://www.opengis.net/kml/2.2"));
    xml.writeStartElement(QStringLiteral("kml"));
    xml.writeStartElement(QStringLiteral("NetworkLink"));
    xml.writeTextElement(QStringLiteral("name"), name);
    // The viewer keeps the operator's view when the map comes in again.
    xml.writeTextElement(QStringLiteral("flyToView"), QStringLiteral("0"));
    xml.writeStartElement(QStringLiteral("Link"));
    xml.writeTextElement(QStringLiteral("href"), address);
    xml.writeTextElement(QStringLiteral("refreshMode"), QStringLiteral("onInterval"));
    xml.writeTextElement(QStringLiteral("refreshInterval"), refresh);
    xml.writeTextElement(QStringLiteral("viewRefreshMode"), QStringLiteral("never"));
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

} // namespace

LinkPort websitePortForLink(const QString& path)
{
    const QString shown = QDir::toNativeSeparators(path);
    const SettingsRead read = readSettings(path);
    switch (read.outcome) {
    case ReadOutcome::NotRegular:
        return {kDefaultPort, QStringLiteral("Settings file %1: the link uses the default website port %2").arg(read.problem).arg(kDefaultPort)};
    case ReadOutcome::Missing:
        return {kDefaultPort, QStringLiteral("Settings file %1 %2: the link uses the default website port %3")
                                  .arg(shown, QFile::exists(path) ? QStringLiteral("cannot be read") : QStringLiteral("does not exist"))
                                  .arg(kDefaultPort)};
    case ReadOutcome::Damaged:
        return {kDefaultPort, QStringLiteral("Settings file %1 is damaged: the link uses the default website port %2")
                                  .arg(shown).arg(kDefaultPort)};
    case ReadOutcome::Applied:
        break;
    }
    const Settings settings = read.settings.checked();
    const QString text = settings.digitsText(options::kWebsitePortFields);
    const int port = settings.websitePort();
    if (!platform::connection::isPort(port)) {
        return {kDefaultPort, QStringLiteral("Settings file %1 gives website port %2, which no station can listen on: "
                                             "the link uses the default website port %3")
                                  .arg(shown, text).arg(kDefaultPort),
                false};
    }
    return {port, QString()};
}

QByteArray networkLinkDocument(const QString& urlHost, int port, const QString& refresh)
{
    return linkDocument(QStringLiteral("Tarnvale WebServer %1:%2").arg(urlHost).arg(port),
                        QStringLiteral("http://%1:%2/").arg(urlHost).arg(port), refresh);
}

QByteArray fixLinkDocument(const QString& urlHost, int mapPort, const QString& refresh)
{
    return linkDocument(QStringLiteral("Tarnvale WebServer fix %1:%2").arg(urlHost).arg(mapPort),
                        QStringLiteral("http://%1:%2/fix.kml").arg(urlHost).arg(mapPort), refresh);
}

int printNetworkLink(const CommandLine& commandLine)
{
    platform::setSettingsFolder(commandLine.settingsDir);
    const bool named = !commandLine.linkHost.isEmpty();
    const QString host = named ? commandLine.linkHost : QSysInfo::machineHostName();
    QString why;
    const std::optional<QString> written = web::urlHost(host, &why);
    if (!written) {
        // A host given on the command line was checked with the other options; this is the machine's own.
        std::fprintf(stderr, "tarnvale-webserver: this machine's host name cannot go into the link: %s; "
                             "give the station's name or address with --host\n", qPrintable(why));
        return 2;
    }
    QByteArray document;
    if (commandLine.fixPort != 0) {
        document = fixLinkDocument(*written, commandLine.fixPort, commandLine.linkRefresh);
    } else {
        const LinkPort port = websitePortForLink(platform::settingsFilePath());
        if (!port.warning.isEmpty())
            platform::logEvent(port.warning);
        document = networkLinkDocument(*written, port.port, commandLine.linkRefresh);
    }
    if (std::fwrite(document.constData(), 1, static_cast<size_t>(document.size()), stdout)
            != static_cast<size_t>(document.size())
        || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "tarnvale-webserver: the link could not be written to standard output\n");
        return 1;
    }
    return 0;
}

} // namespace station
