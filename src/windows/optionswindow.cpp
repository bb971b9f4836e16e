#include "optionswindow.h"

#include "captionwidgets.h"
#include "layout.h"
#include "core/station/stationcore.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPixmap>

using options::DigitField;
using options::Editor;
using options::Step;
using platform::twipRect;

namespace {

// The decimal point between minutes and tenths: white, with a 3 x 3 black dot near the bottom.
QPixmap decimalPoint()
{
    QImage image(7, 32, QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    image.fill(0);
    for (int y = 26; y < 29; ++y) {
        for (int x = 2; x < 5; ++x)
            image.setPixel(x, y, 1);
    }
    return QPixmap::fromImage(image);
}

platform::TagButton* newButton(QWidget* parent, const char* name, const QString& caption, QRect geometry)
{
    auto* b = new platform::TagButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(caption);
    b->setGeometry(geometry);
    return b;
}

} // namespace

Form_OPTIONS::Form_OPTIONS(StationCore& station, QWidget* parent)
    : QWidget(parent)
    , m_station(station)
{
    setObjectName(QStringLiteral("Form_OPTIONS"));
    setFixedSize(platform::px(8460), platform::px(3705));
    setFont(platform::controlFont(8, false));
    m_shown.window = this;
    createControls();
    new OptionsPresenter(std::as_const(m_station).model(), m_shown, this);
}

Form_OPTIONS::~Form_OPTIONS() = default;

void Form_OPTIONS::createControls()
{
    const auto frame = [this](const char* name, const QString& caption, QRect geometry) {
        auto* f = new QGroupBox(caption, this);
        f->setObjectName(QLatin1String(name));
        f->setGeometry(geometry);
        return f;
    };
    QWidget* position = frame("Frame_POSITION", QStringLiteral("POSITION"), twipRect(120, 120, 8175, 1695));
    QWidget* calibration = frame("Frame_DF_CALIB", QStringLiteral("DF CALIB"), twipRect(120, 1920, 1575, 1575));
    QWidget* comm = frame("frame_COMM", QStringLiteral("DF COM PORT"), twipRect(2040, 1920, 1935, 1575));
    QWidget* websitePort = frame("Frame_WEBSITE_PORT", QStringLiteral("WEBSITE PORT"), twipRect(4320, 1920, 2295, 1575));

    for (int field = 0; field < options::kDigitFieldCount; ++field) {
        const Editor editor = options::kDigitFields[static_cast<size_t>(field)].editor;
        createColumn(editor == Editor::Position ? position : editor == Editor::Calibration ? calibration : websitePort, field);
    }

    options::OptionsCore& operations = m_station.options();
    const auto button = [&](const char* name, QWidget* parent, QRect geometry, void (options::OptionsCore::*press)()) {
        auto* b = newButton(parent, name, QString(), geometry);
        b->setFaceRole(QPalette::Button);
        connect(b, &QPushButton::clicked, this, [&operations, press] { (operations.*press)(); });
        return b;
    };
    const auto hemisphere = [&](const char* name, QRect geometry, void (options::OptionsCore::*press)()) {
        auto* b = button(name, position, geometry, press);
        b->setFont(platform::controlFont(12, true));
        return b;
    };
    m_shown.latitudeHemisphere = hemisphere("CmdButton_LAT_HEMI", twipRect(360, 480, 495, 735), &options::OptionsCore::CmdButton_LAT_HEMI_Click);
    m_shown.longitudeHemisphere = hemisphere("CmdButton_LONG_HEMI", twipRect(4080, 480, 495, 735), &options::OptionsCore::CmdButton_LONG_HEMI_Click);
    m_shown.commPort = button("CmdButton_COMM_PORT", comm, twipRect(240, 360, 1455, 975), &options::OptionsCore::CmdButton_COMM_PORT_Click);

    const QPixmap point = decimalPoint();
    for (auto [name, left] : {std::pair{"Picture_LAT_POINT", 2520}, std::pair{"Picture_LONG_POINT", 6600}}) {
        auto* picture = new QLabel(position);
        picture->setObjectName(QLatin1String(name));
        picture->setGeometry(twipRect(left, 600, 135, 495));
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        picture->setPixmap(point);
    }

    auto* exit = newButton(this, "CmdButton_EXIT", QStringLiteral("EXIT"), twipRect(6960, 2040, 1335, 1455));
    connect(exit, &QPushButton::clicked, this, [&operations] { operations.CmdButton_EXIT_Click(); });
}

void Form_OPTIONS::createColumn(QWidget* frame, int field)
{
    const DigitField& row = options::kDigitFields[static_cast<size_t>(field)];
    const int left = kColumnLeft[static_cast<size_t>(field)];
    auto* label = new platform::TagLabel(frame);
    label->setObjectName(QLatin1String(row.name));
    label->setGeometry(twipRect(left, 600, 375, 495));
    label->setFont(platform::digitFont());
    label->setAlignment(Qt::AlignCenter);
    m_shown.digits.append(label);

    options::OptionsCore& operations = m_station.options();
    const auto stepButton = [&](const char* name, const QString& caption, int top, Step step) {
        auto* b = newButton(frame, name, caption, twipRect(left, top, 375, 255));
        connect(b, &QPushButton::clicked, this, [&operations, field, step] { operations.stepDigit(field, step); });
    };
    stepButton(row.upButton, QStringLiteral("+ "), 360, Step::Up);
    stepButton(row.downButton, QStringLiteral("-"), 1080, Step::Down);
}

void Form_OPTIONS::closeEvent(QCloseEvent* event)
{
    // The fields hold the settings until the station saves them at shutdown: close means hide.
    event->ignore();
    m_station.options().CmdButton_EXIT_Click();
}
