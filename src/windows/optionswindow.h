#pragma once
// The options window (Form_OPTIONS): a view of the station's settings. It creates the digit columns,
// hemisphere buttons, the COM port button and EXIT at their places, forwards every press to the
// station's options operations and shows the digits as the station holds them. The window system's
// close request hides it, as EXIT does: the settings live on in the station until it shuts down.

#include "core/station/controls.h"

#include <QHash>
#include <QVector>
#include <QWidget>

class StationCore;
namespace platform {
class TagLabel;
}

class Form_OPTIONS : public QWidget
{
    Q_OBJECT

public:
    explicit Form_OPTIONS(StationCore& station, QWidget* parent = nullptr);
    ~Form_OPTIONS() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void createColumn(QWidget* frame, int field);
    void refresh(station::ControlId id);

    StationCore& m_station;
    QHash<station::ControlId, QWidget*> m_controls;
    QVector<platform::TagLabel*> m_digitLabels; // in the order of options::kDigitFields
};
