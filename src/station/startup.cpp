// Start-up from the settings and the orderly shutdown.
#include "stationwindow.h"

#include "geo/kml.h"
#include "options/optionswindow.h"

#include <QCloseEvent>

void Form_STATION::Form_Load()
{
    m_kmlTemplate = geo::buildKmlTemplate();
}

void Form_STATION::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_options.reset();
}

void Form_STATION::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}
