#include "optionswindow.h"

#include "station/stationinterface.h"

Form_OPTIONS::Form_OPTIONS(StationInterface& station, QWidget* parent)
    : QWidget(parent)
    , m_station(station)
{
    setObjectName(QStringLiteral("Form_OPTIONS"));
    setWindowTitle(QStringLiteral("Tarnvale Options"));
}

Form_OPTIONS::~Form_OPTIONS() = default;

void Form_OPTIONS::POSITION() {}
void Form_OPTIONS::CHANGE_SITE() {}
void Form_OPTIONS::CHANGE_CAL() {}
void Form_OPTIONS::CmdButton_LAT_HEMI_Click() {}
void Form_OPTIONS::CmdButton_LONG_HEMI_Click() {}
