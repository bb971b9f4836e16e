#include "kml.h"

#include <QStringList>

#include <algorithm>
#include <array>

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

namespace {

// The placeholders in the order they are filled in.
constexpr std::array<QStringView, 4> kPlaceholders = {u"START_LONG", u"START_LAT", u"END_LONG", u"END_LAT"};

// Placeholder words are made of these characters only.
bool isWordCharacter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || c == u'_';
}

// The four replacements, one after the other, each over the whole text.
QString fillInTurn(QString text, const std::array<const QString*, 4>& values, int from = 0)
{
    for (int i = from; i < static_cast<int>(kPlaceholders.size()); ++i)
        text.replace(kPlaceholders[static_cast<size_t>(i)].toString(), *values[static_cast<size_t>(i)]);
    return text;
}

} // namespace

// One pass over the template. Every placeholder in it stands between characters that cannot belong to
// a placeholder word, so no replacement can reach across a placeholder's edges: what each later
// replacement would do happens inside the text that took a placeholder's place, and is done there.
// A template where that does not hold is filled by the four replacements themselves.
QString fillKml(const QString& kmlTemplate, const QString& startLongitude, const QString& startLatitude,
                const QString& endLongitude, const QString& endLatitude)
{
    const std::array<const QString*, 4> values = {&startLongitude, &startLatitude, &endLongitude, &endLatitude};
    // What takes each placeholder's place: its text with the later replacements done in it (a text
    // without a '_' holds no placeholder).
    std::array<QString, 4> filled;
    for (size_t i = 0; i < filled.size(); ++i) {
        filled[i] = values[i]->contains(u'_') ? fillInTurn(*values[i], values, static_cast<int>(i) + 1) : *values[i];
    }

    const QStringView text(kmlTemplate);
    QString document;
    document.reserve(text.size() + 2 * (filled[0].size() + filled[1].size()) + filled[2].size() + filled[3].size());
    qsizetype copied = 0;
    // Every placeholder holds a '_': look only around those, at the whole run of word characters.
    for (qsizetype underscore = text.indexOf(u'_'); underscore >= 0;) {
        qsizetype start = underscore;
        while (start > copied && isWordCharacter(text[start - 1]))
            --start;
        qsizetype end = underscore + 1;
        while (end < text.size() && isWordCharacter(text[end]))
            ++end;
        const QStringView run = text.sliced(start, end - start);
        const auto which = std::find(kPlaceholders.begin(), kPlaceholders.end(), run);
        if (which != kPlaceholders.end()) {
            document.append(text.sliced(copied, start - copied));
            document.append(filled[static_cast<size_t>(which - kPlaceholders.begin())]);
            copied = end;
        } else if (std::any_of(kPlaceholders.begin(), kPlaceholders.end(),
                               [run](QStringView placeholder) { return run.contains(placeholder); })) {
            return fillInTurn(kmlTemplate, values);
        }
        underscore = end < text.size() ? text.indexOf(u'_', end) : -1;
    }
    document.append(text.sliced(copied));
    return document;
}

} // namespace geo
