#include "core/geo/kml.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

const QString kStartLong = QStringLiteral("-119.74167");
const QString kStartLat = QStringLiteral("+34.41850");
const QString kEndLong = QStringLiteral("-119.48590");
const QString kEndLat = QStringLiteral("+34.62765");

// The document as operators' map viewers receive it, piece by piece.
QString expectedDocument(const QString& sLong, const QString& sLat, const QString& eLong, const QString& eLat)
{
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
               "<kml xmlns=\"http://www.opengis.net/kml/2.2\" "
               "xmlns:gx=\"http://www.google.com/kml/ext/2.2\" "
               "xmlns:kml=\"http://www.opengis.net/kml/2.2\" "
               "xmlns:atom=\"http://www.w3.org/2005/Atom\">"
               "<Document><Placemark><name>Click Me</name>"
               "<description><![CDATA[<center><b><h2>Quennick</h2></b>"
               "<a href=\"https://quennick.example/\">Quennick</a><br><br>"
               "<hr size=1>RDF / radio hunting tools, modules and software<hr size = 1>"
               "This <b>GoogleEarth</b> display of an internet-operated DF base station "
               "was created with <b>Tarnvale DF</b> display software. ( Demo version : 1 mile range )</center><br><br>]]>"
               "</description>"
               "<Style><LineStyle><color>ff0000ff</color><width>3</width></LineStyle><IconStyle><Icon>"
               "<href>http://maps.google.com/mapfiles/kml/shapes/target.png</href></Icon></IconStyle>"
               "<LabelStyle><color>ff00ffff</color></LabelStyle></Style><MultiGeometry><Point>"
               "<coordinates>")
        + sLong + u',' + sLat + QStringLiteral(",0")
        + QStringLiteral("</coordinates></Point><LineString><tessellate>1</tessellate><coordinates>") + sLong + u','
        + sLat + QStringLiteral(",0 ") + eLong + u',' + eLat + QStringLiteral(",0")
        + QStringLiteral("</coordinates></LineString></MultiGeometry></Placemark></Document></kml>");
}

} // namespace

TEST(KmlDocument, IsExactlyTheStationsDocument)
{
    const QString document = geo::fillKml(geo::buildKmlTemplate(), kStartLong, kStartLat, kEndLong, kEndLat);
    EXPECT_EQ(document, expectedDocument(kStartLong, kStartLat, kEndLong, kEndLat));
    EXPECT_FALSE(document.contains(u'\r'));
    EXPECT_FALSE(document.contains(u'\n'));
}

TEST(KmlDocument, EmptyCoordinateTextLeavesItsFieldEmpty)
{
    const QString document = geo::fillKml(geo::buildKmlTemplate(), QString(), kStartLat, kEndLong, kEndLat);
    EXPECT_TRUE(document.contains(QStringLiteral("<coordinates>,+34.41850,0</coordinates>")));
    EXPECT_EQ(document, expectedDocument(QString(), kStartLat, kEndLong, kEndLat));
}

namespace {

// The four replacements in their order, each over the whole text, as the document is defined.
QString fillInTurn(QString text, const QString& sLong, const QString& sLat, const QString& eLong, const QString& eLat)
{
    return text.replace(QStringLiteral("START_LONG"), sLong)
        .replace(QStringLiteral("START_LAT"), sLat)
        .replace(QStringLiteral("END_LONG"), eLong)
        .replace(QStringLiteral("END_LAT"), eLat);
}

} // namespace

TEST(KmlDocument, OnePassGivesWhatTheFourReplacementsGiveWhateverTheTexts)
{
    using Texts = std::tuple<QString, QString, QString, QString>;
    const Texts cases[] = {
        {kStartLong, kStartLat, kEndLong, kEndLat},
        {QString(), QString(), QString(), QString()},
        // Texts holding placeholders: later ones are filled in them, earlier and their own are not.
        {QStringLiteral("END_LAT"), QStringLiteral("START_LONG"), QStringLiteral("START_LAT"), QStringLiteral("END_LONG")},
        {QStringLiteral("xSTART_LATyEND_LONGz"), QStringLiteral("END_LAT_END_LAT"), QStringLiteral("END_LAT"),
         QStringLiteral("1")},
        // A placeholder made only by a later replacement: "END" and "_LAT" meet once END_LONG is filled.
        {QStringLiteral("END_LONG_LAT"), QStringLiteral("a"), QStringLiteral("END"), QStringLiteral("!")},
        {QStringLiteral("START_LA"), QStringLiteral("T"), QStringLiteral("_"), QStringLiteral("END_LA")},
    };
    const QString kmlTemplate = geo::buildKmlTemplate();
    for (const auto& [sLong, sLat, eLong, eLat] : cases) {
        EXPECT_EQ(geo::fillKml(kmlTemplate, sLong, sLat, eLong, eLat), fillInTurn(kmlTemplate, sLong, sLat, eLong, eLat))
            << sLong.toStdString() << " " << sLat.toStdString() << " " << eLong.toStdString() << " " << eLat.toStdString();
    }

    // Templates whose placeholders touch other word characters, or each other, or stand at the ends.
    for (const QString& other : {QStringLiteral("START_LONGSTART_LAT,END_LONG"), QStringLiteral("XSTART_LAT END_LAT_"),
                                 QStringLiteral("START_END_LONGLAT"), QStringLiteral("END_LAT"), QStringLiteral("_A_ START_LONG _"),
                                 QStringLiteral("no placeholder at all"), QString()}) {
        for (const auto& [sLong, sLat, eLong, eLat] : cases) {
            EXPECT_EQ(geo::fillKml(other, sLong, sLat, eLong, eLat), fillInTurn(other, sLong, sLat, eLong, eLat))
                << other.toStdString() << " / " << sLong.toStdString() << " " << sLat.toStdString() << " "
                << eLong.toStdString() << " " << eLat.toStdString();
        }
    }
}

TEST(KmlDocument, ReplacementsDoNotRescanInsertedText)
{
    // A text that happens to hold a later placeholder is still replaced by the later pass (each pass
    // scans the whole document), but a pass never rescans what it inserted itself.
    const QString document = geo::fillKml(geo::buildKmlTemplate(), QStringLiteral("START_LONG"), QStringLiteral("a"),
                                          QStringLiteral("b"), QStringLiteral("c"));
    EXPECT_EQ(document.count(QStringLiteral("START_LONG")), 2);
}
