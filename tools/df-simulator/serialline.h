#pragma once
// The simulator's real line: a serial device opened by path, or a pseudo-terminal whose other side a
// station opens through a COMn link.

#include "line.h"

#include <memory>
#include <string>

namespace dfsim {

class SerialLine : public Line
{
public:
    // A serial device is set to 4800 baud, 8N1, raw; anything else (a file, a pipe) is written as is.
    static std::unique_ptr<SerialLine> openDevice(const std::string& path, std::string& error);
    static std::unique_ptr<SerialLine> openPseudoTerminal(std::string& error);

    ~SerialLine() override;
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    std::string slavePath() const { return m_slavePath; }

    // Links the pseudo-terminal as linkPath. An existing entry is kept (it may be the operator's link
    // to a real device) unless it is a link left behind by an earlier run to a pseudo-terminal that is
    // gone. The link is removed again when the line closes, if it still leads to this terminal.
    bool linkAs(const std::string& linkPath, std::string& error);

    // Pseudo-terminal: returns once someone has opened the other side; false when stopped first.
    bool waitForReader();

    Clock::time_point now() override { return Clock::now(); }
    bool sleepUntil(Clock::time_point when) override;
    bool writeByte(char byte) override;
    bool stopRequested() override;
    std::string errorText() const override { return m_error; }

private:
    SerialLine() = default;
    bool readerPresent() const;

    int m_fd = -1;
    bool m_pseudoTerminal = false;
    bool m_serialDevice = false;
    std::string m_slavePath;
    std::string m_link;
    std::string m_error;
};

} // namespace dfsim
