#pragma once
// Assembles the DF unit's bearing sentences ("%", three bearing characters, anything but CR, CR) from
// the characters the serial line delivers, in the receiver state the station window keeps
// (DF_ARRIVING, DF_BUFFER), so that the watchdog and the switches can drop a partial sentence too.
//
// Characters before a "%" are dropped. A sentence whose CR never comes is dropped once it would grow
// beyond kMaxSentenceLength characters: a silent-but-chattering line must not grow the buffer
// without end, and a real sentence is five characters with some room for trailing fields.

#include "platform/numbertext.h"

#include <QChar>
#include <QString>
#include <QtGlobal>

namespace bearing {

inline constexpr qsizetype kMaxSentenceLength = 256; // CR included

class SentenceFramer
{
public:
    SentenceFramer(bool& arriving, QString& buffer)
        : m_arriving(arriving)
        , m_buffer(buffer)
    {
    }

    // Takes one character. Returns true when it was the CR that completes a sentence; the sentence,
    // CR included, is then in the buffer until reset() is called.
    bool take(QChar c);

    // Back to idle: no sentence being assembled, buffer empty.
    void reset();

private:
    bool& m_arriving;
    QString& m_buffer;
};

} // namespace bearing
