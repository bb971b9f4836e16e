#pragma once
// What the windows show of the station, held by the station itself: for each control whose caption,
// tag, colour or visibility can change, and for the two windows, their current state. The station's
// handlers write it and read the tags; the windows only show it, and learn of every change through
// changed(). Controls that never change (frames, the digit buttons, EXIT) belong to the windows alone;
// the digit fields' digits and the DF input and test switches are the station model's (only the digit
// fields' backgrounds are held here).

#include "core/options/digitfields.h"

#include <QObject>
#include <QString>
#include <array>

namespace station {

enum class ControlId : int {
    Form_STATION, // caption: the window title
    Label_HTTP0,
    Label_SITE,
    Label_DF_STATUS,
    Label_REPORTED_BEARING,
    Label_TEST_STATUS,
    CmdButton_OPTIONS,
    Form_OPTIONS, // caption: the window title; visible while the operator has it open
    CmdButton_LAT_HEMI,
    CmdButton_LONG_HEMI,
    CmdButton_COMM_PORT,
    FirstDigitField, // then the 23 digit fields in the order of options::kDigitFields
};

inline constexpr int kControlCount = static_cast<int>(ControlId::FirstDigitField) + options::kDigitFieldCount;

constexpr ControlId digitFieldId(int field)
{
    return static_cast<ControlId>(static_cast<int>(ControlId::FirstDigitField) + field);
}

// Backgrounds: none of its own, white (digit fields), or the window system's button face and button
// shadow colours.
enum class Face { None, White, ButtonFace, ButtonShadow };

struct ControlState
{
    QString caption;
    QString tag;
    Face face = Face::None;
    bool visible = true;
};

// The control's name, which the windows give it as its object name ("Label_DF_STATUS").
const char* controlName(ControlId id);

class Controls : public QObject
{
    Q_OBJECT

public:
    // Every control in the state the windows are created in.
    explicit Controls(QObject* parent = nullptr);

    const ControlState& operator[](ControlId id) const { return m_states[index(id)]; }
    QString caption(ControlId id) const { return (*this)[id].caption; }
    QString tag(ControlId id) const { return (*this)[id].tag; }

    void setCaption(ControlId id, const QString& caption);
    void setTag(ControlId id, const QString& tag);
    // Caption and tag together, as the switches, hemisphere buttons and digit editors write them.
    void setCaptionAndTag(ControlId id, const QString& text);
    void setFace(ControlId id, Face face);
    void setVisible(ControlId id, bool visible);

    // Tells the views about a control again although nothing changed (a window asked to be shown
    // that is shown already comes to the front).
    void announce(ControlId id) { emit changed(id); }

signals:
    // Raised after every change; nothing is raised when a value is set to what it already is.
    void changed(station::ControlId id);

private:
    static size_t index(ControlId id) { return static_cast<size_t>(id); }
    template <typename Value>
    void change(ControlId id, Value ControlState::*member, const Value& value)
    {
        ControlState& state = m_states[index(id)];
        if (state.*member == value)
            return;
        state.*member = value;
        emit changed(id);
    }

    std::array<ControlState, kControlCount> m_states;
};

} // namespace station
