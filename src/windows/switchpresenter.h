#pragma once
// The station window's two on/off switches as the station model holds them: the DF input button and
// the test button show "ON"/"OFF" as tag and the matching caption, from the start and at once whenever
// the model changes (so a switch shows its new state also while a message box of the same press is open).

#include <QObject>

namespace platform {
class TagButton;
}
namespace station {
class StationModel;
}

class SwitchPresenter : public QObject
{
    Q_OBJECT

public:
    SwitchPresenter(const station::StationModel& model, platform::TagButton& dfInput, platform::TagButton& testMode,
                    QObject* parent = nullptr);

private:
    void showDfInput(bool on);
    void showTestMode(bool on);

    platform::TagButton& m_dfInput;
    platform::TagButton& m_testMode;
};
