#pragma once
// The options window (Form_OPTIONS): a view of the station's settings. It creates the digit columns,
// hemisphere buttons, the COM port button and EXIT at their places, forwards every press to the
// station's options operations and shows the digits as the station holds them. The window system's
// close request hides it, as EXIT does: the settings live on in the station until it shuts down.

#include "optionspresenter.h"

#include "core/options/digitfields.h"

#include <QWidget>
#include <array>

class StationCore;

class Form_OPTIONS : public QWidget
{
    Q_OBJECT

public:
    // Each digit field's column: its left edge inside its editor's frame, in twips, in the order of
    // options::kDigitFields.
    static constexpr std::array<int, options::kDigitFieldCount> kColumnLeft = {
        240, 600, 960, 1320, 1680, // website port
        240, 600, 960, // calibration
        840, 1200, 1800, 2160, 2640, 3000, 3360, // latitude
        4560, 4920, 5280, 5880, 6240, 6720, 7080, 7440, // longitude
    };

    explicit Form_OPTIONS(StationCore& station, QWidget* parent = nullptr);
    ~Form_OPTIONS() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void createColumn(QWidget* frame, int field);

    StationCore& m_station;
    OptionsPresenter::Controls m_shown; // filled as the controls are created
};
