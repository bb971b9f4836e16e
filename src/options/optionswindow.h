#pragma once
// The options window (Form_OPTIONS): its digit fields are the live form of the settings. Each edit
// takes effect at once through the station's interface.

#include <QWidget>

class StationInterface;

class Form_OPTIONS : public QWidget
{
    Q_OBJECT

public:
    explicit Form_OPTIONS(StationInterface& station, QWidget* parent = nullptr);
    ~Form_OPTIONS() override;

    void POSITION();
    void CHANGE_SITE();
    void CHANGE_CAL();
    void CmdButton_LAT_HEMI_Click();
    void CmdButton_LONG_HEMI_Click();

private:
    StationInterface& m_station;
};
