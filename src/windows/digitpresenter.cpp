#include "digitpresenter.h"

#include "captionwidgets.h"

#include "core/station/stationmodel.h"

DigitPresenter::DigitPresenter(const station::StationModel& model, QVector<platform::TagLabel*> labels, QObject* parent)
    : QObject(parent)
    , m_labels(std::move(labels))
{
    for (int field = 0; field < m_labels.size(); ++field)
        show(field, model.digit(field));
    connect(&model, &station::StationModel::digitChanged, this, &DigitPresenter::show);
}

void DigitPresenter::show(int field, int digit)
{
    m_labels.at(field)->setDigit(QString::number(digit));
}
