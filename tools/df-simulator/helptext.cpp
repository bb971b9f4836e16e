#include "options.h"

namespace dfsim {

std::string helpText(const std::string& programName)
{
    return "Usage: " + programName + R"( (--device PATH | --port N [--link-folder DIR] [--wait-open])
       (--bearing N | --sweep START:STEP | --file F [--loop]
        | --station LAT,LON --target LAT,LON [--spread DEGREES]) [options]

Stands in for a DF unit: sends bearing sentences at the pace of a 4800-baud line (480 bytes a second),
so a station can be checked without a DF unit. A sentence is "%", the bearing as three digits (000 to
359), an optional trailer, and CR.

Where the sentences go:
  --device PATH        write to this serial device (set to 4800 baud, 8N1, raw); a file that is not
                       a serial device is written as it is (e.g. /dev/stdout)
  --port N             create a pseudo-terminal and link it as COMN (N from 1 to 255) in the station's
                       settings folder, so a station set to COM port N reads from it; the device and
                       the link are printed, and the link is removed when the simulator ends
  --link-folder DIR    make the COMN link in DIR instead of the station's settings folder
                       ($XDG_CONFIG_HOME/Tarnvale, else ~/.config/Tarnvale)
  --wait-open          send nothing until someone opens the pseudo-terminal; without it, sentences
                       sent while nobody has it open are lost, as on a real line

What is reported:
  --bearing N          the same bearing N (0 to 359) every time
  --sweep START:STEP   START, START+STEP, ... round the compass (STEP from -359 to 359)
  --file F             one bearing (0 to 359) per line from file F, or from standard input for "-",
                       read as lines arrive; empty lines and lines starting with "#" are skipped,
                       other lines that are not a bearing are reported and skipped
  --loop               start the file over at its end instead of stopping
  --station LAT,LON    with --target: the DF unit stands at LAT,LON (decimal degrees, north and east
                       positive; give the station's own position, as its map shows it)
  --target LAT,LON     the transmitter is at LAT,LON: report the whole-degree bearing whose line, as
                       a station with calibration 0 draws it (25 miles long), passes nearest it; that
                       bearing and the distance its line passes from the target are printed
  --spread DEGREES     with --target: scatter each reading about that bearing with this standard
                       deviation (0 to 45, default 0: every reading exact), as a real unit wobbles

How and how often:
  --period MS          milliseconds from the start of one sentence to the next (default 1000; 0 sends
                       sentences back to back). A sentence longer than the period follows the previous
                       one directly.
  --count N            stop after N sentences (default: forever, or at the end of the file)
  --trailer TEXT       characters after the three digits, such as a quality field "/7" (no CR)
  --lf                 send a line feed after each CR
  --noise N            N random bytes between sentences, never "%" nor CR (so the sentences around
                       them stay intact)
  --seed S             start the noise and the scatter from seed S, so a run can be repeated byte
                       for byte
  -h, --help           show this text

Ctrl+C, SIGTERM or SIGHUP ends the simulator cleanly. Exit status: 0 when done or stopped, 1 when the
device or the link could not be set up or the line failed, 2 for a wrong command line.

Examples:
  )" + programName + R"( --port 1 --sweep 0:10
  )" + programName + R"( --device /dev/ttyUSB0 --bearing 45 --trailer /7 --lf
  )" + programName + R"( --port 2 --station 34.41852,-119.74167 --target 34.5,-119.6 --spread 3
  printf '10\n20\n30\n' | )" + programName + R"( --port 3 --file - --period 500
)";
}

} // namespace dfsim
