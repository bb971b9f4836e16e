#include "stationwindow.h"

#include "controlview.h"
#include "core/station/stationcore.h"

#include "captionwidgets.h"
#include "layout.h"
#include "switchpresenter.h"

#include <QCloseEvent>
#include <QLabel>

using platform::twipRect;
using station::ControlId;

Form_STATION::Form_STATION(StationCore& station, QWidget* parent)
    : QWidget(parent)
    , m_station(station)
{
    setObjectName(QLatin1String(station::controlName(ControlId::Form_STATION)));
    setFixedSize(platform::px(4605), platform::px(2220));
    setFont(platform::controlFont(8));
    createControls();
    m_controls.insert(ControlId::Form_STATION, this);
    for (auto it = m_controls.cbegin(); it != m_controls.cend(); ++it)
        refresh(it.key());
    connect(&m_station.controls(), &station::Controls::changed, this, &Form_STATION::refresh);
}

Form_STATION::~Form_STATION() = default;

void Form_STATION::createControls()
{
    const auto place = [this](ControlId id, QWidget* widget, QRect geometry) {
        widget->setObjectName(QLatin1String(station::controlName(id)));
        widget->setGeometry(geometry);
        m_controls.insert(id, widget);
    };
    place(ControlId::Label_HTTP0, new QLabel(this), twipRect(120, 120, 3975, 255));
    place(ControlId::Label_SITE, new QLabel(this), twipRect(120, 360, 2175, 255));
    place(ControlId::Label_DF_STATUS, new QLabel(this), twipRect(3000, 480, 1335, 255));
    place(ControlId::Label_REPORTED_BEARING, new QLabel(this), twipRect(120, 720, 2655, 255));
    place(ControlId::Label_TEST_STATUS, new QLabel(this), twipRect(3360, 720, 855, 255));

    const auto button = [this, &place](ControlId id, QRect geometry, void (StationCore::*press)()) {
        auto* b = new platform::TagButton(this);
        place(id, b, geometry);
        connect(b, &QPushButton::clicked, &m_station, press);
    };
    // The two on/off switches show the model, not the station's controls.
    const auto modelSwitch = [this](const char* name, QRect geometry, void (StationCore::*press)()) {
        auto* b = new platform::TagButton(this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(geometry);
        b->setFaceRole(QPalette::Button);
        connect(b, &QPushButton::clicked, &m_station, press);
        return b;
    };
    auto* acquire = modelSwitch("CmdButton_ACQUIRE", twipRect(240, 1320, 1215, 615), &StationCore::CmdButton_ACQUIRE_Click);
    auto* test = modelSwitch("CmdButton_TEST", twipRect(1680, 1320, 1215, 615), &StationCore::CmdButton_TEST_Click);
    new SwitchPresenter(std::as_const(m_station).model(), *acquire, *test, this);
    button(ControlId::CmdButton_OPTIONS, twipRect(3120, 1320, 1215, 615), &StationCore::CmdButton_OPTIONS_Click);
}

void Form_STATION::refresh(ControlId id)
{
    if (QWidget* widget = m_controls.value(id))
        station::showControl(*widget, m_station.controls()[id]);
}

void Form_STATION::closeEvent(QCloseEvent* event)
{
    m_station.shutDown();
    event->accept();
}
