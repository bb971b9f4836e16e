#include "controls.h"

#include "captions.h"

namespace station {

const char* controlName(ControlId id)
{
    static constexpr std::array<const char*, static_cast<size_t>(ControlId::FirstDigitField)> kNames = {
        "Form_STATION",      "Label_HTTP0",        "Label_SITE",          "Label_DF_STATUS",    "Label_REPORTED_BEARING",
        "Label_TEST_STATUS", "CmdButton_OPTIONS",  "Form_OPTIONS",
        "CmdButton_LAT_HEMI", "CmdButton_LONG_HEMI", "CmdButton_COMM_PORT",
    };
    const auto i = static_cast<size_t>(id);
    return i < kNames.size() ? kNames[i] : options::kDigitFields.at(i - kNames.size()).name;
}

Controls::Controls(QObject* parent)
    : QObject(parent)
{
    const auto set = [this](ControlId id, const QString& caption, const QString& tag = {}, Face face = Face::None) {
        m_states[index(id)] = {caption, tag, face, true};
    };
    set(ControlId::Form_STATION, kStationDesignTitle);
    set(ControlId::Label_HTTP0, kHttp0DesignCaption);
    set(ControlId::Label_SITE, kSiteCaption);
    set(ControlId::Label_DF_STATUS, kDfInputOff);
    set(ControlId::Label_REPORTED_BEARING, kNoBearing);
    set(ControlId::Label_TEST_STATUS, QString());
    set(ControlId::CmdButton_OPTIONS, kOptionsCaption, QString(), Face::ButtonFace);
    set(ControlId::Form_OPTIONS, kOptionsTitle);
    m_states[index(ControlId::Form_OPTIONS)].visible = false;
    set(ControlId::CmdButton_LAT_HEMI, kNorth, kNorth, Face::ButtonFace);
    set(ControlId::CmdButton_LONG_HEMI, kEast, kEast, Face::ButtonFace);
    set(ControlId::CmdButton_COMM_PORT, kCommPortDesignCaption, QString(), Face::ButtonFace);
    for (int field = 0; field < options::kDigitFieldCount; ++field)
        set(digitFieldId(field), QString(), QString(), Face::White); // the digits are the model's
}

void Controls::setCaption(ControlId id, const QString& caption)
{
    change(id, &ControlState::caption, caption);
}

void Controls::setTag(ControlId id, const QString& tag)
{
    change(id, &ControlState::tag, tag);
}

void Controls::setCaptionAndTag(ControlId id, const QString& text)
{
    ControlState& s = m_states[index(id)];
    if (s.caption == text && s.tag == text)
        return;
    s.caption = text;
    s.tag = text;
    emit changed(id);
}

void Controls::setFace(ControlId id, Face face)
{
    change(id, &ControlState::face, face);
}

void Controls::setVisible(ControlId id, bool visible)
{
    change(id, &ControlState::visible, visible);
}

} // namespace station
