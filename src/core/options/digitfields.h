#pragma once
// The 23 digit fields of the settings, as one table: each row names the field and its up and down
// buttons, the settings-file line that stores it, the editor it belongs to (which fixes both its frame
// and the operation every click ends with), the range the editors keep it in, how it steps, and the start-up check: the highest digit accepted from the file
// and the fallback for anything else. Rows run in the order of the settings file.

#include <array>
#include <string_view>

namespace options {

// Position: Frame_POSITION, then POSITION. WebsitePort: Frame_WEBSITE_PORT, then CHANGE_SITE.
// Calibration: Frame_DF_CALIB, then CHANGE_CAL.
enum class Editor { Position, WebsitePort, Calibration };

enum class StepKind { Plain, LongitudeHundreds, LongitudeTens };

struct DigitField
{
    const char* name;
    const char* upButton;
    const char* downButton;
    int line;      // settings-file line, 2 to 24
    Editor editor;
    int highest;   // the editors step over 0..highest
    StepKind kind;
    char accepted; // the start-up check accepts "0" up to this digit
    char fallback; // and puts this digit in place of anything else
};

inline constexpr std::array<DigitField, 23> kDigitFields{{
    {"Label_SITE_X10K", "CmdButton_SITE_X10K_UP", "CmdButton_SITE_X10K_DOWN", 2, Editor::WebsitePort, 6, StepKind::Plain, '9', '5'},
    {"Label_SITE_X1K", "CmdButton_SITE_X1K_UP", "CmdButton_SITE_X1K_DOWN", 3, Editor::WebsitePort, 9, StepKind::Plain, '9', '5'},
    {"Label_SITE_X100", "CmdButton_SITE_X100_UP", "CmdButton_SITE_X100_DOWN", 4, Editor::WebsitePort, 9, StepKind::Plain, '9', '5'},
    {"Label_SITE_X10", "CmdButton_SITE_X10_UP", "CmdButton_SITE_X10_DOWN", 5, Editor::WebsitePort, 9, StepKind::Plain, '9', '5'},
    {"Label_SITE_X1", "CmdButton_SITE_X1_UP", "CmdButton_SITE_X1_DOWN", 6, Editor::WebsitePort, 9, StepKind::Plain, '9', '5'},

    {"Label_DFCAL_X100", "CmdButton_DFCAL_X100_UP", "CmdButton_DFCAL_X100_DN", 7, Editor::Calibration, 3, StepKind::Plain, '3', '0'},
    {"Label_DFCAL_X10", "CmdButton_DFCAL_X10_UP", "CmdButton_DFCAL_X10_DN", 8, Editor::Calibration, 9, StepKind::Plain, '9', '0'},
    {"Label_DFCAL_X1", "CmdButton_DFCAL_X1_UP", "CmdButton_DFCAL_X1_DN", 9, Editor::Calibration, 9, StepKind::Plain, '9', '0'},

    {"Label_LAT_DEGX10", "CmdButton_LAT_DEGX10_UP", "CmdButton_LAT_DEGX10_DN", 10, Editor::Position, 8, StepKind::Plain, '8', '3'},
    {"Label_LAT_DEGX1", "CmdButton_LAT_DEGX1_UP", "CmdButton_LAT_DEGX1_DN", 11, Editor::Position, 9, StepKind::Plain, '9', '3'},
    {"Label_LAT_MINX10", "CmdButton_LAT_MINX10_UP", "CmdButton_LAT_MINX10_DN", 12, Editor::Position, 5, StepKind::Plain, '5', '5'},
    {"Label_LAT_MINX1", "CmdButton_LAT_MINX1_UP", "CmdButton_LAT_MINX1_DN", 13, Editor::Position, 9, StepKind::Plain, '9', '0'},
    {"Label_LAT_MINX01", "CmdButton_LAT_MINX01_UP", "CmdButton_LAT_MINX01_DN", 14, Editor::Position, 9, StepKind::Plain, '9', '0'},
    {"Label_LAT_MINX001", "CmdButton_LAT_MINX001_UP", "CmdButton_LAT_MINX001_DN", 15, Editor::Position, 9, StepKind::Plain, '9', '0'},
    {"Label_LAT_MINX0001", "CmdButton_LAT_MINX0001_UP", "CmdButton_LAT_MINX0001_DN", 16, Editor::Position, 9, StepKind::Plain, '9', '0'},

    {"Label_LONG_DEGX100", "CmdButton_LONG_DEGX100_UP", "CmdButton_LONG_DEGX100_DN", 17, Editor::Position, 1, StepKind::LongitudeHundreds, '1', '1'},
    {"Label_LONG_DEGX10", "CmdButton_LONG_DEGX10_UP", "CmdButton_LONG_DEGX10_DN", 18, Editor::Position, 9, StepKind::LongitudeTens, '9', '1'},
    {"Label_LONG_DEGX1", "CmdButton_LONG_DEGX1_UP", "CmdButton_LONG_DEGX1_DN", 19, Editor::Position, 9, StepKind::Plain, '9', '8'},
    {"Label_LONG_MINX10", "CmdButton_LONG_MINX10_UP", "CmdButton_LONG_MINX10_DN", 20, Editor::Position, 5, StepKind::Plain, '5', '1'},
    {"Label_LONG_MINX1", "CmdButton_LONG_MINX1_UP", "CmdButton_LONG_MINX1_DN", 21, Editor::Position, 9, StepKind::Plain, '9', '0'},
    {"Label_LONG_MINX01", "CmdButton_LONG_MINX01_UP", "CmdButton_LONG_MINX01_DN", 22, Editor::Position, 9, StepKind::Plain, '9', '0'},
    {"Label_LONG_MINX001", "CmdButton_LONG_MINX001_UP", "CmdButton_LONG_MINX001_DN", 23, Editor::Position, 9, StepKind::Plain, '9', '0'},
    {"Label_LONG_MINX0001", "CmdButton_LONG_MINX0001_UP", "CmdButton_LONG_MINX0001_DN", 24, Editor::Position, 9, StepKind::Plain, '9', '0'},
}};

inline constexpr int kDigitFieldCount = static_cast<int>(kDigitFields.size());

// Index ranges of one setting, in the order their digits are joined or weighed.
struct FieldRange
{
    int first;
    int count;
    constexpr bool contains(int field) const { return field >= first && field < first + count; }
};
inline constexpr FieldRange kWebsitePortFields{0, 5};
inline constexpr FieldRange kCalibrationFields{5, 3};
inline constexpr FieldRange kLatitudeFields{8, 7};
inline constexpr FieldRange kLongitudeFields{15, 8};
inline constexpr int kLongitudeHundreds = 15;
inline constexpr int kLongitudeTens = 16;

consteval bool linesFollowTheTable()
{
    for (int i = 0; i < kDigitFieldCount; ++i) {
        if (kDigitFields[static_cast<size_t>(i)].line != i + 2)
            return false;
    }
    return true;
}
static_assert(linesFollowTheTable(), "the table runs in the order of the settings file's lines 2 to 24");

// The index of the field named `name` (e.g. "Label_SITE_X10K"); -1 for a name that is none.
constexpr int digitFieldIndex(std::string_view name)
{
    for (int i = 0; i < kDigitFieldCount; ++i) {
        if (kDigitFields[static_cast<size_t>(i)].name == name)
            return i;
    }
    return -1;
}

} // namespace options
