#include "optionspresenter.h"

#include "captions.h"
#include "captionwidgets.h"

#include "core/options/digitfields.h"
#include "core/station/stationmodel.h"
#include "core/station/texts.h"

#include <QApplication>

using namespace station;

namespace {

const QColor kWhite(255, 255, 255);

QColor buttonShadow()
{
    return QApplication::palette().color(QPalette::Dark);
}

QPalette::ColorRole faceRole(bool refused)
{
    return refused ? QPalette::Dark : QPalette::Button;
}

} // namespace

OptionsPresenter::OptionsPresenter(const StationModel& model, const Controls& controls, QObject* parent)
    : QObject(parent)
    , m_controls(controls)
{
    m_controls.window->setWindowTitle(kOptionsTitle);
    for (platform::TagLabel* label : std::as_const(m_controls.digits))
        label->setBackground(kWhite);
    for (int field = 0; field < m_controls.digits.size(); ++field)
        showDigit(field, model.digit(field));
    showWebsitePortRefused(model.websitePortRefused());
    showHemispheres(model.latitudeSouth(), model.longitudeWest());
    showCommPort(model.commPort());
    showCommPortRefused(model.commPortRefused());
    showOpen(model.optionsOpen());

    connect(&model, &StationModel::optionsOpened, this, [this] { showOpen(true); });
    connect(&model, &StationModel::optionsClosed, this, [this] { showOpen(false); });
    connect(&model, &StationModel::digitChanged, this, &OptionsPresenter::showDigit);
    connect(&model, &StationModel::websitePortRefusedChanged, this, &OptionsPresenter::showWebsitePortRefused);
    connect(&model, &StationModel::hemispheresChanged, this, &OptionsPresenter::showHemispheres);
    connect(&model, &StationModel::commPortChanged, this, &OptionsPresenter::showCommPort);
    connect(&model, &StationModel::commPortRefusedChanged, this, &OptionsPresenter::showCommPortRefused);
}

// Open again while open: the window comes to the front all the same.
void OptionsPresenter::showOpen(bool open)
{
    QWidget& window = *m_controls.window;
    if (!open) {
        window.hide();
        return;
    }
    window.show();
    window.raise();
    window.activateWindow();
}

void OptionsPresenter::showDigit(int field, int digit)
{
    m_controls.digits.at(field)->setDigit(QString::number(digit));
}

void OptionsPresenter::showWebsitePortRefused(bool refused)
{
    const options::FieldRange fields = options::kWebsitePortFields;
    for (int field = fields.first; fields.contains(field); ++field)
        m_controls.digits.at(field)->setBackground(refused ? buttonShadow() : kWhite);
}

void OptionsPresenter::showHemispheres(bool latitudeSouth, bool longitudeWest)
{
    const auto show = [](platform::TagButton& button, const QString& letter) {
        button.setText(letter);
        button.setTag(letter);
    };
    show(*m_controls.latitudeHemisphere, latitudeSouth ? kSouth : kNorth);
    show(*m_controls.longitudeHemisphere, longitudeWest ? kWest : kEast);
}

// Until the selector first selects a port, its design caption.
void OptionsPresenter::showCommPort(int port)
{
    m_controls.commPort->setText(port == 0 ? kCommPortDesignCaption : commPortCaption(port));
}

void OptionsPresenter::showCommPortRefused(bool refused)
{
    m_controls.commPort->setFaceRole(faceRole(refused));
}
