#include "stationwindow.h"

#include "captions.h"

#include "geo/endpoint.h"
#include "geo/kml.h"
#include "options/optionswindow.h"
#include "platform/captionwidgets.h"
#include "platform/layout.h"
#include "web/channelpool.h"
#include "web/statuscaption.h"

#include <QLabel>

using platform::px;
using platform::twipRect;

Form_STATION::Form_STATION(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form_STATION"));
    setWindowTitle(QStringLiteral("Tarnvale WebServer : Demo"));
    setFixedSize(px(4605), px(2220));

    setFont(platform::controlFont(8));

    createControls();

    m_timerDf.setObjectName(QStringLiteral("Timer_DF"));
    m_timerDf.setInterval(1000);
    m_timerTest.setObjectName(QStringLiteral("Timer_TEST"));
    m_timerTest.setInterval(200);
    m_timerLinkStat.setObjectName(QStringLiteral("Timer_LINK_STAT"));
    m_timerLinkStat.setInterval(250);
    m_timerLinkStat.setEnabled(true);

    m_comm.setObjectName(QStringLiteral("MSComm1"));
    m_httpServer.setObjectName(QStringLiteral("HTTP_SERVER"));
    m_sendTimers.setObjectName(QStringLiteral("Timer_SEND_DATA"));
    m_channels = std::make_unique<web::ChannelPool>(m_httpServer, m_sendTimers, [this] { return currentDocument(); });

    connect(&m_comm, &platform::SerialPort::onComm, this, &Form_STATION::MSComm1_OnComm);
    connect(&m_timerDf, &platform::Timer::fired, this, &Form_STATION::Timer_DF_Timer);
    connect(&m_timerTest, &platform::Timer::fired, this, &Form_STATION::Timer_TEST_Timer);
    connect(&m_timerLinkStat, &platform::Timer::fired, this, &Form_STATION::Timer_LINK_STAT_Timer);
    connect(m_acquire, &QPushButton::clicked, this, &Form_STATION::CmdButton_ACQUIRE_Click);
    connect(m_test, &QPushButton::clicked, this, &Form_STATION::CmdButton_TEST_Click);
    connect(m_optionsButton, &QPushButton::clicked, this, &Form_STATION::CmdButton_OPTIONS_Click);
}

Form_STATION::~Form_STATION() = default;

void Form_STATION::createControls()
{
    auto label = [this](const char* name, const QString& caption, QRect geometry) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(geometry);
        return l;
    };
    auto button = [this](const char* name, const QString& caption, const QString& tag, QRect geometry) {
        auto* b = new platform::TagButton(this);
        b->setObjectName(QLatin1String(name));
        b->setText(caption);
        b->setTag(tag);
        b->setGeometry(geometry);
        return b;
    };

    m_http0 = label("Label_HTTP0", QStringLiteral("WEBSITE SERVER STATE 0 : CONN CLOSED"), twipRect(120, 120, 3975, 255));
    m_site = label("Label_SITE", QStringLiteral("WEBSITE PORT : "), twipRect(120, 360, 2175, 255));
    m_dfStatus = label("Label_DF_STATUS", station::kDfInputOff, twipRect(3000, 480, 1335, 255));
    m_reportedBearing = label("Label_REPORTED_BEARING", station::kNoBearing,
                              twipRect(120, 720, 2655, 255));
    m_testStatus = label("Label_TEST_STATUS", QString(), twipRect(3360, 720, 855, 255));

    m_acquire = button("CmdButton_ACQUIRE", station::kAcquireOnCaption, station::kOn,
                       twipRect(240, 1320, 1215, 615));
    m_test = button("CmdButton_TEST", station::kTestOffCaption, station::kOff,
                    twipRect(1680, 1320, 1215, 615));
    m_optionsButton = button("CmdButton_OPTIONS", QStringLiteral("OPTIONS"), QString(), twipRect(3120, 1320, 1215, 615));
}

void Form_STATION::setSiteCaption(const QString& caption)
{
    m_site->setText(caption);
}

QString Form_STATION::acquireTag() const
{
    return m_acquire->tag();
}

void Form_STATION::ENDPOINT()
{
    const geo::EndPoint end = geo::bearingLineEnd(m_state.START_LATITUDE, m_state.START_LONGITUDE,
                                                  m_state.BEARING_DEGREES, m_state.DF_VALID == platform::kTrue);
    m_state.END_LATITUDE = end.latitude;
    m_state.END_LONGITUDE = end.longitude;
}

QString Form_STATION::currentDocument() const
{
    return geo::fillKml(m_kmlTemplate, m_state.START_LONGITUDE, m_state.START_LATITUDE, m_state.END_LONGITUDE,
                        m_state.END_LATITUDE);
}

Form_OPTIONS& Form_STATION::options()
{
    if (!m_options)
        m_options = std::make_unique<Form_OPTIONS>(*this);
    return *m_options;
}

void Form_STATION::Timer_LINK_STAT_Timer()
{
    if (const auto caption = web::serverStateCaption(m_httpServer.state(0)))
        m_http0->setText(*caption);
}
