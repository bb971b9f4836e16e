#pragma once
// The 23 digit columns of the options window as data: each names its digit field and its up and down
// buttons, the editor it belongs to (which fixes both the frame it sits in and the operation every
// click ends with), its left edge inside that frame in twips, its range 0..highest and how it steps.
// One stepping routine serves all 46 buttons from this table.

#include <array>
#include <span>

namespace options {

// Position: Frame_POSITION, then POSITION. WebsitePort: Frame_WEBSITE_PORT, then CHANGE_SITE.
// Calibration: Frame_DF_CALIB, then CHANGE_CAL.
enum class Editor { Position, WebsitePort, Calibration };

enum class StepKind { Plain, LongitudeHundreds, LongitudeTens };

struct DigitColumn
{
    const char* field;
    const char* upButton;
    const char* downButton;
    Editor editor;
    int left;
    int highest;
    StepKind kind = StepKind::Plain;
};

inline constexpr const char* kLongitudeHundreds = "Label_LONG_DEGX100";
inline constexpr const char* kLongitudeTens = "Label_LONG_DEGX10";

// Rows in the order of the settings: latitude (7), longitude (8), calibration (3), website port (5),
// each from its highest place value down.
inline constexpr std::array<DigitColumn, 23> kDigitColumns{{
    {"Label_LAT_DEGX10", "CmdButton_LAT_DEGX10_UP", "CmdButton_LAT_DEGX10_DN", Editor::Position, 840, 8},
    {"Label_LAT_DEGX1", "CmdButton_LAT_DEGX1_UP", "CmdButton_LAT_DEGX1_DN", Editor::Position, 1200, 9},
    {"Label_LAT_MINX10", "CmdButton_LAT_MINX10_UP", "CmdButton_LAT_MINX10_DN", Editor::Position, 1800, 5},
    {"Label_LAT_MINX1", "CmdButton_LAT_MINX1_UP", "CmdButton_LAT_MINX1_DN", Editor::Position, 2160, 9},
    {"Label_LAT_MINX01", "CmdButton_LAT_MINX01_UP", "CmdButton_LAT_MINX01_DN", Editor::Position, 2640, 9},
    {"Label_LAT_MINX001", "CmdButton_LAT_MINX001_UP", "CmdButton_LAT_MINX001_DN", Editor::Position, 3000, 9},
    {"Label_LAT_MINX0001", "CmdButton_LAT_MINX0001_UP", "CmdButton_LAT_MINX0001_DN", Editor::Position, 3360, 9},

    {"Label_LONG_DEGX100", "CmdButton_LONG_DEGX100_UP", "CmdButton_LONG_DEGX100_DN", Editor::Position, 4560, 1,
     StepKind::LongitudeHundreds},
    {"Label_LONG_DEGX10", "CmdButton_LONG_DEGX10_UP", "CmdButton_LONG_DEGX10_DN", Editor::Position, 4920, 9,
     StepKind::LongitudeTens},
    {"Label_LONG_DEGX1", "CmdButton_LONG_DEGX1_UP", "CmdButton_LONG_DEGX1_DN", Editor::Position, 5280, 9},
    {"Label_LONG_MINX10", "CmdButton_LONG_MINX10_UP", "CmdButton_LONG_MINX10_DN", Editor::Position, 5880, 5},
    {"Label_LONG_MINX1", "CmdButton_LONG_MINX1_UP", "CmdButton_LONG_MINX1_DN", Editor::Position, 6240, 9},
    {"Label_LONG_MINX01", "CmdButton_LONG_MINX01_UP", "CmdButton_LONG_MINX01_DN", Editor::Position, 6720, 9},
    {"Label_LONG_MINX001", "CmdButton_LONG_MINX001_UP", "CmdButton_LONG_MINX001_DN", Editor::Position, 7080, 9},
    {"Label_LONG_MINX0001", "CmdButton_LONG_MINX0001_UP", "CmdButton_LONG_MINX0001_DN", Editor::Position, 7440, 9},

    {"Label_DFCAL_X100", "CmdButton_DFCAL_X100_UP", "CmdButton_DFCAL_X100_DN", Editor::Calibration, 240, 3},
    {"Label_DFCAL_X10", "CmdButton_DFCAL_X10_UP", "CmdButton_DFCAL_X10_DN", Editor::Calibration, 600, 9},
    {"Label_DFCAL_X1", "CmdButton_DFCAL_X1_UP", "CmdButton_DFCAL_X1_DN", Editor::Calibration, 960, 9},

    {"Label_SITE_X10K", "CmdButton_SITE_X10K_UP", "CmdButton_SITE_X10K_DOWN", Editor::WebsitePort, 240, 6},
    {"Label_SITE_X1K", "CmdButton_SITE_X1K_UP", "CmdButton_SITE_X1K_DOWN", Editor::WebsitePort, 600, 9},
    {"Label_SITE_X100", "CmdButton_SITE_X100_UP", "CmdButton_SITE_X100_DOWN", Editor::WebsitePort, 960, 9},
    {"Label_SITE_X10", "CmdButton_SITE_X10_UP", "CmdButton_SITE_X10_DOWN", Editor::WebsitePort, 1320, 9},
    {"Label_SITE_X1", "CmdButton_SITE_X1_UP", "CmdButton_SITE_X1_DOWN", Editor::WebsitePort, 1680, 9},
}};

// The columns of one setting, in the order their tags are joined or weighed.
inline constexpr std::span<const DigitColumn> latitudeColumns() { return std::span(kDigitColumns).subspan(0, 7); }
inline constexpr std::span<const DigitColumn> longitudeColumns() { return std::span(kDigitColumns).subspan(7, 8); }
inline constexpr std::span<const DigitColumn> calibrationColumns() { return std::span(kDigitColumns).subspan(15, 3); }
inline constexpr std::span<const DigitColumn> websitePortColumns() { return std::span(kDigitColumns).subspan(18, 5); }

} // namespace options
