#pragma once
// The options window's 23 digit fields as the station model holds them: each label shows its field's
// digit as caption and tag, from the start and at once whenever the model sets it (so the window shows
// the new digit also while a message box of the same handler is open).

#include <QObject>
#include <QVector>

namespace platform {
class TagLabel;
}
namespace station {
class StationModel;
}

class DigitPresenter : public QObject
{
    Q_OBJECT

public:
    // labels: one per row of options::kDigitFields, in that order.
    DigitPresenter(const station::StationModel& model, QVector<platform::TagLabel*> labels, QObject* parent = nullptr);

private:
    void show(int field, int digit);

    QVector<platform::TagLabel*> m_labels;
};
