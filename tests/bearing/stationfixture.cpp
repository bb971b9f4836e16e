#include "stationfixture.h"

#include "geo/endpoint.h"
#include "platform/captionwidgets.h"

void StationOnPty::SetUp()
{
    state().START_LATITUDE = QStringLiteral("+52.20000");
    state().START_LONGITUDE = QStringLiteral("-001.50000");
    state().END_LATITUDE = state().START_LATITUDE;
    state().END_LONGITUDE = state().START_LONGITUDE;
    ASSERT_TRUE(pty.isOpen());
    ASSERT_TRUE(pty.linkAs(settings.folder(), 1));
    ASSERT_TRUE(station.serialPort().setCommPort(1));
    ASSERT_TRUE(station.serialPort().setPortOpen(true)) << station.serialPort().errorString().toStdString();
}

QString StationOnPty::reportedBearing() const
{
    return station.findChild<QLabel*>(QStringLiteral("Label_REPORTED_BEARING"))->text();
}

QString StationOnPty::dfStatus() const
{
    return station.findChild<QLabel*>(QStringLiteral("Label_DF_STATUS"))->text();
}

platform::TagButton& StationOnPty::button(const char* name) const
{
    return *station.findChild<platform::TagButton*>(QLatin1String(name));
}

bool StationOnPty::sendSentence(const QByteArray& bytes)
{
    station.findChild<QLabel*>(QStringLiteral("Label_DF_STATUS"))->setText(QStringLiteral("DF = SILENT"));
    return send(bytes, [this] { return dfStatus() == QStringLiteral("DF = DETECTED"); });
}

QStringList StationOnPty::lineTo(qint16 degrees)
{
    const geo::EndPoint end = geo::bearingLineEnd(state().START_LATITUDE,
                                                  state().START_LONGITUDE, degrees, true);
    return {end.latitude, end.longitude};
}
