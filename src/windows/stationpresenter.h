#pragma once
// The station window as the station model holds it: the window's title, the web server state, the
// website port, the DF status (hidden in test mode), the reported bearing, the test status and the two
// on/off switches (caption and "ON"/"OFF" tag). Each shows its value from the start and at once whenever
// the model changes, so the window shows a press's new state also while a message box of the same
// press is open.

#include <QObject>
#include <optional>

class QLabel;
class QWidget;
namespace platform {
class TagButton;
}
namespace station {
class StationModel;
struct ReportedBearing;
}

class StationPresenter : public QObject
{
    Q_OBJECT

public:
    // The station window's controls that show the model.
    struct Controls
    {
        QWidget* window = nullptr;
        QLabel* http0 = nullptr;
        QLabel* site = nullptr;
        QLabel* dfStatus = nullptr;
        QLabel* reportedBearing = nullptr;
        QLabel* testStatus = nullptr;
        platform::TagButton* dfInput = nullptr;
        platform::TagButton* testMode = nullptr;
    };

    StationPresenter(const station::StationModel& model, const Controls& controls, QObject* parent = nullptr);

private:
    void showStarted();
    void showServerState(int state);
    void showWebsitePort();
    void showDfStatus();
    void showReportedBearing(const std::optional<station::ReportedBearing>& bearing);
    void showDfInput(bool on);
    void showTestMode(bool on);

    const station::StationModel& m_model;
    Controls m_controls;
};
