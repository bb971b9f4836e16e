#include "kml.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

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

namespace {

// Where the placeholders stand in a template, found once for the run's template.
struct Layout
{
    QString kmlTemplate;                   // kept, so that its text cannot be replaced meanwhile
    std::vector<std::pair<qsizetype, int>> places; // position and which placeholder, in order
    bool alone = true;                      // every placeholder stands between non-word characters
};

Layout layoutOf(const QString& kmlTemplate)
{
    Layout layout{kmlTemplate, {}, true};
    const QStringView text(kmlTemplate);
    // Every placeholder holds a '_': look only around those, at the whole run of word characters.
    for (qsizetype underscore = text.indexOf(u'_'); underscore >= 0;) {
        qsizetype start = underscore;
        while (start > 0 && isWordCharacter(text[start - 1]))
            --start;
        qsizetype end = underscore + 1;
        while (end < text.size() && isWordCharacter(text[end]))
            ++end;
        const QStringView run = text.sliced(start, end - start);
        const auto which = std::find(kPlaceholders.begin(), kPlaceholders.end(), run);
        if (which != kPlaceholders.end()) {
            layout.places.emplace_back(start, static_cast<int>(which - kPlaceholders.begin()));
        } else if (std::any_of(kPlaceholders.begin(), kPlaceholders.end(),
                               [run](QStringView placeholder) { return run.contains(placeholder); })) {
            layout.alone = false;
            break;
        }
        underscore = end < text.size() ? text.indexOf(u'_', end) : -1;
    }
    return layout;
}

// The station fills the same template for every request.
const Layout& cachedLayout(const QString& kmlTemplate)
{
    static Layout cached;
    const bool same = cached.kmlTemplate.constData() == kmlTemplate.constData()
        && cached.kmlTemplate.size() == kmlTemplate.size();
    if (!same && cached.kmlTemplate != kmlTemplate)
        cached = layoutOf(kmlTemplate);
    return cached;
}

} // namespace

// Every placeholder of the template stands between characters that cannot belong to a placeholder
// word, so no replacement can reach across a placeholder's edges: what each later replacement would
// do happens inside the text that took a placeholder's place, and is done there. The template is then
// copied once, with those texts put in. A template where that does not hold is filled by the four
// replacements themselves.
QString fillKml(const QString& kmlTemplate, const QString& startLongitude, const QString& startLatitude,
                const QString& endLongitude, const QString& endLatitude)
{
    const std::array<const QString*, 4> values = {&startLongitude, &startLatitude, &endLongitude, &endLatitude};
    const Layout& layout = cachedLayout(kmlTemplate);
    if (!layout.alone)
        return fillInTurn(kmlTemplate, values);

    // What takes each placeholder's place: its text with the later replacements done in it (a text
    // without a '_' holds no placeholder).
    std::array<QString, 4> filled;
    for (size_t i = 0; i < filled.size(); ++i)
        filled[i] = values[i]->contains(u'_') ? fillInTurn(*values[i], values, static_cast<int>(i) + 1) : *values[i];

    const QStringView text(kmlTemplate);
    qsizetype length = text.size();
    for (const auto& [at, which] : layout.places)
        length += filled[static_cast<size_t>(which)].size() - kPlaceholders[static_cast<size_t>(which)].size();
    // Sized once and copied into: it is made for every request.
    QString document(length, Qt::Uninitialized);
    QChar* out = document.data();
    const auto copy = [&out](QStringView piece) { out = std::copy(piece.begin(), piece.end(), out); };
    qsizetype copied = 0;
    for (const auto& [at, which] : layout.places) {
        copy(text.sliced(copied, at - copied));
        copy(filled[static_cast<size_t>(which)]);
        copied = at + kPlaceholders[static_cast<size_t>(which)].size();
    }
    copy(text.sliced(copied));
    return document;
}

} // namespace geo
