#pragma once
// The options window (Form_OPTIONS): its digit fields are the live form of the settings. Each edit
// takes effect at once through the station's interface. The window system's close request only hides
// it, so the fields survive until the station shuts down and saves them.

#include "digitstep.h"
#include "digittable.h"

#include <QHash>
#include <QStringList>
#include <QWidget>

class StationInterface;

namespace platform {
class TagButton;
class TagLabel;
}

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

    // Handlers of the COM port and EXIT buttons, public so that tests can drive them directly.
    void CmdButton_COMM_PORT_Click();
    void CmdButton_EXIT_Click();

    // A digit field by name ("Label_SITE_X10K"); nullptr for a name that is none.
    platform::TagLabel* digitField(const QString& name) const;
    platform::TagButton& latHemiButton() const { return *m_latHemi; }
    platform::TagButton& longHemiButton() const { return *m_longHemi; }
    platform::TagButton& commPortButton() const { return *m_commPort; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void createColumn(QWidget* frame, const options::DigitColumn& column);
    void stepDigit(const options::DigitColumn& column, options::Step step);
    QStringList tags(std::span<const options::DigitColumn> columns) const;
    void setDigits(std::span<const options::DigitColumn> columns, const QStringList& digits);
    void failCommPort();

    StationInterface& m_station;
    QHash<QString, platform::TagLabel*> m_fields;
    QWidget* m_framePosition = nullptr;
    QWidget* m_frameCalibration = nullptr;
    QWidget* m_frameWebsitePort = nullptr;
    platform::TagButton* m_latHemi = nullptr;
    platform::TagButton* m_longHemi = nullptr;
    platform::TagButton* m_commPort = nullptr;
    platform::TagButton* m_exit = nullptr;
};
