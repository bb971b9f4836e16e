#include "kml.h"

#include <QStringList>

namespace geo {

namespace {
const QString kKmlNamespace = QStringLiteral("http://www.opengis.net/kml/2.2");
const QString kGoogleExtensions = QStringLiteral("http://www.google.com/kml/ext/2.2");
const QString kAtomNamespace = QStringLiteral("http://www.w3.org/2005/Atom");
const QString kMakerAddress = QStringLiteral("https://quennick.example/");
const QString kMakerLinkText = QStringLiteral("Quennick");
const QString kTargetIcon = QStringLiteral("http://maps.google.com/mapfiles/kml/shapes/target.png");
} // namespace

QString buildKmlTemplate()
{
    const QChar q = u'"';
    const QStringList pieces = {
        QStringLiteral("<?xml version=") + q + QStringLiteral("1.0") + q + QStringLiteral(" encoding=") + q
            + QStringLiteral("UTF-8") + q + QStringLiteral("?>"),
        QStringLiteral("<kml xmlns=") + q + kKmlNamespace + q + QStringLiteral(" "),
        QStringLiteral("xmlns:gx=") + q + kGoogleExtensions + q + QStringLiteral(" "),
        QStringLiteral("xmlns:kml=") + q + kKmlNamespace + q + QStringLiteral(" "),
        QStringLiteral("xmlns:atom=") + q + kAtomNamespace + q + QStringLiteral(">"),
        QStringLiteral("<Document><Placemark><name>Click Me</name>"),
        QStringLiteral("<description><![CDATA[<center><b><h2>Quennick</h2></b>"),
        QStringLiteral("<a href=") + q + kMakerAddress + q + QStringLiteral(">") + kMakerLinkText
            + QStringLiteral("</a><br><br>"),
        QStringLiteral("<hr size=1>RDF / radio hunting tools, modules and software<hr size = 1>"),
        QStringLiteral("This <b>GoogleEarth</b> display of an internet-operated DF base station "),
        QStringLiteral("was created with <b>Tarnvale DF</b> display software. ( Demo version : 1 mile range )"
                       "</center><br><br>]]>"),
        QStringLiteral("</description>"),
        QStringLiteral("<Style><LineStyle><color>ff0000ff</color><width>3</width></LineStyle><IconStyle><Icon>"),
        QStringLiteral("<href>") + kTargetIcon + QStringLiteral("</href></Icon></IconStyle>"),
        QStringLiteral("<LabelStyle><color>ff00ffff</color></LabelStyle></Style><MultiGeometry><Point>"),
        QStringLiteral("<coordinates>START_LONG,START_LAT,0"),
        QStringLiteral("</coordinates></Point><LineString><tessellate>1</tessellate><coordinates>"),
        QStringLiteral("START_LONG,START_LAT,0 "),
        QStringLiteral("END_LONG,END_LAT,0"),
        QStringLiteral("</coordinates></LineString></MultiGeometry></Placemark></Document></kml>"),
    };
    return pieces.join(QString());
}

QString fillKml(const QString& kmlTemplate, const QString& startLongitude, const QString& startLatitude,
                const QString& endLongitude, const QString& endLatitude)
{
    QString document = kmlTemplate;
    document.replace(QStringLiteral("START_LONG"), startLongitude);
    document.replace(QStringLiteral("START_LAT"), startLatitude);
    document.replace(QStringLiteral("END_LONG"), endLongitude);
    document.replace(QStringLiteral("END_LAT"), endLatitude);
    return document;
}

} // namespace geo
