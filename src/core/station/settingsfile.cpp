#include "settingsfile.h"

#include "core/options/digitfields.h"
#include "platform/numbertext.h"
#include "platform/regularfile.h"
#include "platform/serialport.h"

#include <QSaveFile>

namespace station {

namespace {

constexpr int kLineCount = 26;

QStringList fileLines(const QByteArray& bytes)
{
    // CR LF is the file's form; a bare LF (a file edited on Linux) reads the same.
    QString content = QString::fromLatin1(bytes);
    content.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = content.split(u'\n');
    if (!content.isEmpty() && content.endsWith(u'\n'))
        lines.removeLast(); // the last line's own line end
    if (content.isEmpty())
        lines.clear();
    return lines;
}

QString trimmedBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && (text[first] == u' ' || text[first] == u'\t'))
        ++first;
    while (last > first && (text[last - 1] == u' ' || text[last - 1] == u'\t' || text[last - 1] == u'\r'))
        --last;
    return text.mid(first, last - first);
}

} // namespace

SettingsRead readSettings(const QString& path)
{
    const platform::SmallFile file = platform::readSmallFile(path);
    SettingsRead read;
    switch (file.status) {
    case platform::SmallFile::Status::Read:
        read = parseSettings(file.content);
        read.content = file.content;
        break;
    case platform::SmallFile::Status::NotRegular:
        read.outcome = ReadOutcome::NotRegular;
        read.problem = file.problem;
        break;
    case platform::SmallFile::Status::Missing:
    case platform::SmallFile::Status::Unreadable:
        read.outcome = ReadOutcome::Missing;
        break;
    }
    return read;
}

SettingsRead parseSettings(const QByteArray& content)
{
    const QStringList lines = fileLines(content);
    SettingsRead read;
    read.outcome = ReadOutcome::Damaged;
    Settings& settings = read.settings;

    // Lines 1 to 24 hold numbers; a line without one reads as 0 (line 1 then fails at the port).
    for (int line = 1; line <= 1 + options::kDigitFieldCount; ++line) {
        if (line > lines.size())
            return read;
        const auto number = platform::readInt16(lines[line - 1]);
        if (!number)
            return read;
        if (line == 1) {
            // The serial line's own rule for port numbers; the port is not touched.
            if (!platform::SerialPort().setCommPort(*number))
                return read;
            settings.commPort = *number;
        } else {
            settings.digits[static_cast<size_t>(line - 2)] = *number;
        }
    }
    if (lines.size() < 25)
        return read;
    settings.south = trimmedBlanks(lines[24]) == QStringLiteral("S");
    if (lines.size() < kLineCount)
        return read;
    settings.west = trimmedBlanks(lines[25]) == QStringLiteral("W");
    read.outcome = ReadOutcome::Applied;
    return read;
}

QStringList defaultSettingsLines()
{
    return {
        QStringLiteral(" 1 "), QStringLiteral(" 1 "), QStringLiteral(" 0 "), QStringLiteral(" 0 "), QStringLiteral(" 0 "),
        QStringLiteral(" 0 "), QStringLiteral(" 0 "), QStringLiteral(" 0 "), QStringLiteral(" 0 "),
        QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("2"), QStringLiteral("5"), QStringLiteral("1"),
        QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("9"),
        QStringLiteral("4"), QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("0"), QStringLiteral("0"),
        QStringLiteral("N"), QStringLiteral("W"),
    };
}

QStringList settingsLines(const Settings& settings)
{
    QStringList lines{platform::numberText(settings.commPort) + u' '};
    for (const int digit : settings.digits)
        lines << QString::number(digit);
    lines << (settings.south ? QStringLiteral("S") : QStringLiteral("N"))
          << (settings.west ? QStringLiteral("W") : QStringLiteral("E"));
    return lines;
}

bool writeSettingsLines(const QString& path, const QStringList& lines, QString* error)
{
    // The save would rename its new file over a FIFO or device that the operator put there.
    if (const QString problem = platform::notRegularFile(path); !problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QByteArray content;
    for (const QString& line : lines)
        content += line.toLatin1() + "\r\n";
    // A short write (a full disk) must not be committed: the old file stays. Qt can take a short
    // write for success, so the size on disk is checked as well.
    if (file.write(content) != content.size() || !file.flush() || file.size() != content.size()) {
        if (error)
            *error = file.errorString().isEmpty() ? QStringLiteral("The disk is full") : file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace station
