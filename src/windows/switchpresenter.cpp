#include "switchpresenter.h"

#include "captionwidgets.h"

#include "core/station/captions.h"
#include "core/station/stationmodel.h"

using namespace station;

SwitchPresenter::SwitchPresenter(const StationModel& model, platform::TagButton& dfInput, platform::TagButton& testMode,
                                 QObject* parent)
    : QObject(parent)
    , m_dfInput(dfInput)
    , m_testMode(testMode)
{
    showDfInput(model.dfInput());
    showTestMode(model.testMode());
    connect(&model, &StationModel::dfInputChanged, this, &SwitchPresenter::showDfInput);
    connect(&model, &StationModel::testModeChanged, this, &SwitchPresenter::showTestMode);
}

void SwitchPresenter::showDfInput(bool on)
{
    m_dfInput.setTag(on ? kOn : kOff);
    m_dfInput.setText(on ? kAcquireOnCaption : kAcquireOffCaption);
}

void SwitchPresenter::showTestMode(bool on)
{
    m_testMode.setTag(on ? kOn : kOff);
    m_testMode.setText(on ? kTestOnCaption : kTestOffCaption);
}
