#include "optionswindow.h"

#include "platform/captionwidgets.h"
#include "platform/layout.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPixmap>

using options::DigitColumn;
using options::Editor;
using options::Step;

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

} // namespace

Form_OPTIONS::Form_OPTIONS(StationInterface& station, QWidget* parent)
    : QWidget(parent)
    , m_station(station)
{
    setObjectName(QStringLiteral("Form_OPTIONS"));
    setWindowTitle(QStringLiteral("Tarnvale Options"));
    setFixedSize(platform::px(8460), platform::px(3705));
    setFont(platform::controlFont(8, false));
    createControls();
}

Form_OPTIONS::~Form_OPTIONS() = default;

void Form_OPTIONS::createControls()
{
    auto frame = [this](const char* name, const QString& caption, QRect geometry) {
        auto* f = new QGroupBox(caption, this);
        f->setObjectName(QLatin1String(name));
        f->setGeometry(geometry);
        return f;
    };
    auto button = [](QWidget* parent, const char* name, const QString& caption, QRect geometry) {
        auto* b = new platform::TagButton(parent);
        b->setObjectName(QLatin1String(name));
        b->setText(caption);
        b->setGeometry(geometry);
        return b;
    };

    m_framePosition = frame("Frame_POSITION", QStringLiteral("POSITION"), platform::twipRect(120, 120, 8175, 1695));
    m_frameCalibration = frame("Frame_DF_CALIB", QStringLiteral("DF CALIB"), platform::twipRect(120, 1920, 1575, 1575));
    auto* frameComm = frame("frame_COMM", QStringLiteral("DF COM PORT"), platform::twipRect(2040, 1920, 1935, 1575));
    m_frameWebsitePort = frame("Frame_WEBSITE_PORT", QStringLiteral("WEBSITE PORT"), platform::twipRect(4320, 1920, 2295, 1575));

    for (const DigitColumn& column : options::kDigitColumns) {
        QWidget* parent = column.editor == Editor::Position ? m_framePosition
            : column.editor == Editor::Calibration          ? m_frameCalibration
                                                            : m_frameWebsitePort;
        createColumn(parent, column);
    }

    m_latHemi = button(m_framePosition, "CmdButton_LAT_HEMI", QStringLiteral("N"), platform::twipRect(360, 480, 495, 735));
    m_latHemi->setTag(QStringLiteral("N"));
    m_longHemi = button(m_framePosition, "CmdButton_LONG_HEMI", QStringLiteral("E"), platform::twipRect(4080, 480, 495, 735));
    m_longHemi->setTag(QStringLiteral("E"));
    for (auto* hemi : {m_latHemi, m_longHemi})
        hemi->setFont(platform::controlFont(12, true));
    connect(m_latHemi, &QPushButton::clicked, this, &Form_OPTIONS::CmdButton_LAT_HEMI_Click);
    connect(m_longHemi, &QPushButton::clicked, this, &Form_OPTIONS::CmdButton_LONG_HEMI_Click);

    const QPixmap point = decimalPoint();
    for (auto [name, left] : {std::pair{"Picture_LAT_POINT", 2520}, std::pair{"Picture_LONG_POINT", 6600}}) {
        auto* picture = new QLabel(m_framePosition);
        picture->setObjectName(QLatin1String(name));
        picture->setGeometry(platform::twipRect(left, 600, 135, 495));
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        picture->setPixmap(point);
    }

    m_commPort = button(frameComm, "CmdButton_COMM_PORT", QStringLiteral("COM PORT : COM 1"), platform::twipRect(240, 360, 1455, 975));
    connect(m_commPort, &QPushButton::clicked, this, &Form_OPTIONS::CmdButton_COMM_PORT_Click);

    m_exit = button(this, "CmdButton_EXIT", QStringLiteral("EXIT"), platform::twipRect(6960, 2040, 1335, 1455));
    connect(m_exit, &QPushButton::clicked, this, &Form_OPTIONS::CmdButton_EXIT_Click);
}

void Form_OPTIONS::createColumn(QWidget* frame, const DigitColumn& column)
{
    auto* field = new platform::TagLabel(frame);
    field->setObjectName(QLatin1String(column.field));
    field->setGeometry(platform::twipRect(column.left, 600, 375, 495));
    field->setFont(platform::digitFont());
    field->setAlignment(Qt::AlignCenter);
    field->setDigit(QStringLiteral("8"));
    field->setBackground(Qt::white);
    m_fields.insert(QLatin1String(column.field), field);

    const auto stepButton = [&](const char* name, const QString& caption, int top, Step step) {
        auto* b = new platform::TagButton(frame);
        b->setObjectName(QLatin1String(name));
        b->setText(caption);
        b->setGeometry(platform::twipRect(column.left, top, 375, 255));
        const DigitColumn* row = &column; // the table lives for the whole run
        connect(b, &QPushButton::clicked, this, [this, row, step] { stepDigit(*row, step); });
    };
    stepButton(column.upButton, QStringLiteral("+ "), 360, Step::Up);
    stepButton(column.downButton, QStringLiteral("-"), 1080, Step::Down);
}

platform::TagLabel* Form_OPTIONS::digitField(const QString& name) const
{
    return m_fields.value(name, nullptr);
}

void Form_OPTIONS::CmdButton_EXIT_Click()
{
    hide();
}

void Form_OPTIONS::closeEvent(QCloseEvent* event)
{
    // The fields hold the settings until the station saves them at shutdown: close means hide.
    event->ignore();
    hide();
}
