#pragma once
// The options window as the station model holds it: the window shown while the operator has the options
// open (brought to the front at every OPTIONS press), the 23 digit fields (digit as caption and tag,
// white, the website port's in button shadow while the port chosen is refused), the hemisphere buttons
// (letter as caption and tag) and the COM port button (the port selected; button shadow while it is
// refused). Each shows its value from the start and at once whenever the model changes, so the window
// shows a press's new state also while a message box of the same handler is open.

#include <QObject>
#include <QVector>

class QWidget;
namespace platform {
class TagButton;
class TagLabel;
}
namespace station {
class StationModel;
}

class OptionsPresenter : public QObject
{
    Q_OBJECT

public:
    // The options window's controls that show the model.
    struct Controls
    {
        QWidget* window = nullptr;
        QVector<platform::TagLabel*> digits; // one per row of options::kDigitFields, in that order
        platform::TagButton* latitudeHemisphere = nullptr;
        platform::TagButton* longitudeHemisphere = nullptr;
        platform::TagButton* commPort = nullptr;
    };

    OptionsPresenter(const station::StationModel& model, const Controls& controls, QObject* parent = nullptr);

private:
    void showOpen(bool open);
    void showDigit(int field, int digit);
    void showWebsitePortRefused(bool refused);
    void showHemispheres(bool latitudeSouth, bool longitudeWest);
    void showCommPort(int port);
    void showCommPortRefused(bool refused);

    Controls m_controls;
};
