#include "stationwindow.h"

#include "captions.h"
#include "captionwidgets.h"
#include "layout.h"
#include "stationpresenter.h"

#include "core/station/stationcore.h"

#include <QCloseEvent>
#include <QLabel>

using platform::twipRect;

Form_STATION::Form_STATION(StationCore& station, QWidget* parent)
    : QWidget(parent)
    , m_station(station)
{
    setObjectName(QStringLiteral("Form_STATION"));
    setFixedSize(platform::px(4605), platform::px(2220));
    setFont(platform::controlFont(8));
    createControls();
}

Form_STATION::~Form_STATION() = default;

void Form_STATION::createControls()
{
    const auto place = [this](auto* widget, const char* name, QRect geometry) {
        widget->setObjectName(QLatin1String(name));
        widget->setGeometry(geometry);
        return widget;
    };
    StationPresenter::Controls shown;
    shown.window = this;
    shown.http0 = place(new QLabel(this), "Label_HTTP0", twipRect(120, 120, 3975, 255));
    shown.site = place(new QLabel(this), "Label_SITE", twipRect(120, 360, 2175, 255));
    shown.dfStatus = place(new QLabel(this), "Label_DF_STATUS", twipRect(3000, 480, 1335, 255));
    shown.reportedBearing = place(new QLabel(this), "Label_REPORTED_BEARING", twipRect(120, 720, 2655, 255));
    shown.testStatus = place(new QLabel(this), "Label_TEST_STATUS", twipRect(3360, 720, 855, 255));

    const auto button = [this, &place](const char* name, QRect geometry, void (StationCore::*press)()) {
        auto* b = place(new platform::TagButton(this), name, geometry);
        b->setFaceRole(QPalette::Button);
        connect(b, &QPushButton::clicked, &m_station, press);
        return b;
    };
    shown.dfInput = button("CmdButton_ACQUIRE", twipRect(240, 1320, 1215, 615), &StationCore::CmdButton_ACQUIRE_Click);
    shown.testMode = button("CmdButton_TEST", twipRect(1680, 1320, 1215, 615), &StationCore::CmdButton_TEST_Click);
    button("CmdButton_OPTIONS", twipRect(3120, 1320, 1215, 615), &StationCore::CmdButton_OPTIONS_Click)->setText(station::kOptionsCaption);
    new StationPresenter(std::as_const(m_station).model(), shown, this);
}

void Form_STATION::closeEvent(QCloseEvent* event)
{
    m_station.shutDown();
    event->accept();
}
