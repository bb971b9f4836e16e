#pragma once
// The station window (Form_STATION): a view of the station. It creates its controls at their places,
// forwards the operator's presses to the station; its presenter shows the station's model. Closing it shuts
// the station down.

#include <QWidget>

class StationCore;

class Form_STATION : public QWidget
{
    Q_OBJECT

public:
    explicit Form_STATION(StationCore& station, QWidget* parent = nullptr);
    ~Form_STATION() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();

    StationCore& m_station;
};
