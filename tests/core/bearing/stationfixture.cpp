#include "stationfixture.h"

#include "core/geo/endpoint.h"

void StationOnPty::SetUp()
{
    state().START_LATITUDE = QStringLiteral("+52.20000");
    state().START_LONGITUDE = QStringLiteral("-001.50000");
    state().collapseLine();
    ASSERT_TRUE(pty.isOpen());
    ASSERT_TRUE(pty.linkAs(settings.folder(), 1));
    ASSERT_TRUE(station.serialPort().setCommPort(1));
    ASSERT_TRUE(station.serialPort().setPortOpen(true)) << station.serialPort().errorString().toStdString();
}

bool StationOnPty::sendSentence(const QByteArray& bytes)
{
    model().setDfStatus(station::DfStatus::Silent);
    return send(bytes, [this] { return dfStatus() == QStringLiteral("DF = DETECTED"); });
}

QStringList StationOnPty::lineTo(qint16 degrees)
{
    const geo::EndPoint end = geo::bearingLineEnd(state().START_LATITUDE, state().START_LONGITUDE, degrees, true);
    return {end.latitude, end.longitude};
}
