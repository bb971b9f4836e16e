// Settings reader: the outcome and the settings read agree with a plain reading of the lines, and a
// file that applies comes back the same after being written and read again.
#include "checks.h"
#include "reference.h"

#include "platform/regularfile.h"
#include "core/station/settingsfile.h"

#include <QFile>
#include <QTemporaryDir>

namespace fuzzcheck {

namespace {

struct Expected
{
    station::ReadOutcome outcome = station::ReadOutcome::Damaged;
    station::Settings settings;
};

QString stripped(QString text)
{
    while (!text.isEmpty() && (text.front() == u' ' || text.front() == u'\t'))
        text.remove(0, 1);
    while (!text.isEmpty() && (text.back() == u' ' || text.back() == u'\t' || text.back() == u'\r'))
        text.chop(1);
    return text;
}

Expected plainReading(const QByteArray& bytes)
{
    QStringList lines;
    QString line;
    const QString content = QString::fromLatin1(bytes);
    for (qsizetype i = 0; i < content.size(); ++i) {
        if (content[i] == u'\n') {
            lines << line;
            line.clear();
        } else if (!(content[i] == u'\r' && i + 1 < content.size() && content[i + 1] == u'\n')) {
            line += content[i];
        }
    }
    if (!line.isEmpty())
        lines << line;

    Expected expected;
    for (int n = 1; n <= 24; ++n) {
        if (n > lines.size())
            return expected;
        const std::optional<int> value = referenceInt16(referenceNumber(lines[n - 1]));
        if (!value)
            return expected;
        if (n == 1) {
            if (*value < 1 || *value > 255)
                return expected;
            expected.settings.commPort = *value;
        } else {
            expected.settings.digits[static_cast<size_t>(n - 2)] = *value;
        }
    }
    if (lines.size() < 26)
        return expected;
    expected.settings.south = stripped(lines[24]) == QStringLiteral("S");
    expected.settings.west = stripped(lines[25]) == QStringLiteral("W");
    expected.outcome = station::ReadOutcome::Applied;
    return expected;
}

const char* outcomeName(station::ReadOutcome outcome)
{
    switch (outcome) {
    case station::ReadOutcome::Applied: return "applied";
    case station::ReadOutcome::Missing: return "missing";
    case station::ReadOutcome::Damaged: return "damaged";
    case station::ReadOutcome::NotRegular: return "not a regular file";
    }
    return "?";
}

QString folder()
{
    static QTemporaryDir dir;
    return dir.path();
}

} // namespace

std::string settings(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString path = folder() + QStringLiteral("/Tarnvale_Demo.ini");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            return "cannot write the input file";
    }
    const station::SettingsRead first = station::readSettings(path);
    // The station reads no more of a settings file than its first 64 KiB.
    const Expected expected = plainReading(bytes.left(platform::kSmallFileBound));
    if (first.outcome != expected.outcome)
        return std::string("read ") + outcomeName(first.outcome) + ", want " + outcomeName(expected.outcome);
    if (first.outcome != station::ReadOutcome::Applied)
        return {};
    if (!(first.settings == expected.settings))
        return "read [" + station::settingsLines(first.settings).join(u',').toStdString() + "], want ["
            + station::settingsLines(expected.settings).join(u',').toStdString() + "]";

    // What the shutdown writes from the settings read must read back as the same settings.
    const QString again = folder() + QStringLiteral("/again.ini");
    QString reason;
    if (!station::writeSettingsLines(again, station::settingsLines(first.settings), &reason))
        return "write failed: " + reason.toStdString();
    const station::SettingsRead second = station::readSettings(again);
    if (second.outcome != station::ReadOutcome::Applied || !(second.settings == first.settings))
        return "written settings read back as [" + station::settingsLines(second.settings).join(u',').toStdString()
            + "], not [" + station::settingsLines(first.settings).join(u',').toStdString() + "]";
    return {};
}

} // namespace fuzzcheck
