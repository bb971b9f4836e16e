#include "stationpresenter.h"

#include "captions.h"
#include "captionwidgets.h"

#include "core/bearing/testbearing.h"
#include "core/options/digitfields.h"
#include "core/station/stationmodel.h"
#include "core/station/texts.h"
#include "platform/numbertext.h"

using namespace station;

StationPresenter::StationPresenter(const StationModel& model, const Controls& controls, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_controls(controls)
{
    m_controls.window->setWindowTitle(kStationDesignTitle);
    m_controls.http0->setText(kHttp0DesignCaption);
    showStarted();
    showServerState(model.serverState());
    showDfStatus();
    showReportedBearing(model.reportedBearing());
    showDfInput(model.dfInput());
    showTestMode(model.testMode());

    connect(&model, &StationModel::started, this, &StationPresenter::showStarted);
    connect(&model, &StationModel::serverStateChanged, this, &StationPresenter::showServerState);
    connect(&model, &StationModel::digitChanged, this, [this](int field) {
        if (options::kWebsitePortFields.contains(field))
            showWebsitePort();
    });
    connect(&model, &StationModel::dfStatusChanged, this, &StationPresenter::showDfStatus);
    connect(&model, &StationModel::reportedBearingChanged, this, &StationPresenter::showReportedBearing);
    connect(&model, &StationModel::dfInputChanged, this, &StationPresenter::showDfInput);
    connect(&model, &StationModel::testModeChanged, this, &StationPresenter::showTestMode);
}

// Before the start the window shows its design title and no website port.
void StationPresenter::showStarted()
{
    if (m_model.hasStarted())
        m_controls.window->setWindowTitle(kStationTitle);
    showWebsitePort();
}

// A state without a caption leaves the last one standing.
void StationPresenter::showServerState(int state)
{
    if (const auto caption = serverStateCaption(state))
        m_controls.http0->setText(*caption);
}

// The port's digits as the options window shows them ("WEBSITE PORT : 00080").
void StationPresenter::showWebsitePort()
{
    QString digits;
    if (m_model.hasStarted()) {
        for (int field = options::kWebsitePortFields.first; options::kWebsitePortFields.contains(field); ++field)
            digits += QString::number(m_model.digit(field));
    }
    m_controls.site->setText(kSiteCaption + digits);
}

void StationPresenter::showDfStatus()
{
    m_controls.dfStatus->setText(dfStatusText(m_model.dfStatus()));
}

void StationPresenter::showReportedBearing(const std::optional<ReportedBearing>& bearing)
{
    if (!bearing) {
        m_controls.reportedBearing->setText(kNoBearing);
        return;
    }
    // The DF unit's bearing as a number is written (" 45"), the test bearing in three digits ("045").
    const QString value = bearing->source == DrawnBearing::Source::Test ? bearing::testBearingText(bearing->degrees)
                                                                       : platform::numberText(bearing->degrees);
    m_controls.reportedBearing->setText(kBearingCaption + value);
}

void StationPresenter::showDfInput(bool on)
{
    m_controls.dfInput->setTag(on ? kOn : kOff);
    m_controls.dfInput->setText(on ? kAcquireOnCaption : kAcquireOffCaption);
}

// In test mode the test status stands where the DF status was.
void StationPresenter::showTestMode(bool on)
{
    m_controls.testMode->setTag(on ? kOn : kOff);
    m_controls.testMode->setText(on ? kTestOnCaption : kTestOffCaption);
    m_controls.testStatus->setText(on ? kTestStatusOn : QString());
    m_controls.dfStatus->setVisible(!on);
}
