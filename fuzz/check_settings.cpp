// Settings reader: the outcome and everything applied agree with a plain reading of the lines, and a
// file that applies comes back the same after being written and read again.
#include "checks.h"
#include "reference.h"

#include "platform/regularfile.h"
#include "core/station/settingsfile.h"

#include <QFile>
#include <QTemporaryDir>

namespace fuzzcheck {

namespace {

// Records every call in order, refusing port numbers as the serial line does.
struct Recorder : station::SettingsTarget
{
    QStringList calls;
    int commPort = 0;
    QStringList tags = QStringList(23);
    bool south = false;
    bool west = false;

    bool setCommPort(int portNumber) override
    {
        calls << QStringLiteral("port %1").arg(portNumber);
        if (portNumber < 1 || portNumber > 255)
            return false;
        commPort = portNumber;
        return true;
    }
    void setDigitTag(int field, const QString& tag) override
    {
        calls << QStringLiteral("tag %1 %2").arg(field).arg(tag);
        tags[field] = tag;
    }
    void toggleLatitudeHemisphere() override
    {
        calls << QStringLiteral("S");
        south = !south;
    }
    void toggleLongitudeHemisphere() override
    {
        calls << QStringLiteral("W");
        west = !west;
    }
};

struct Expected
{
    station::ReadOutcome outcome = station::ReadOutcome::Damaged;
    QStringList calls;
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
            expected.calls << QStringLiteral("port %1").arg(*value);
            if (*value < 1 || *value > 255)
                return expected;
        } else {
            expected.calls << QStringLiteral("tag %1 %2").arg(n - 2).arg(*value);
        }
    }
    if (lines.size() < 25)
        return expected;
    if (stripped(lines[24]) == QStringLiteral("S"))
        expected.calls << QStringLiteral("S");
    if (lines.size() < 26)
        return expected;
    if (stripped(lines[25]) == QStringLiteral("W"))
        expected.calls << QStringLiteral("W");
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
    Recorder first;
    const station::ReadOutcome outcome = station::readSettings(path, first);
    // The station reads no more of a settings file than its first 64 KiB.
    const Expected expected = plainReading(bytes.left(platform::kSmallFileBound));
    if (outcome != expected.outcome || first.calls != expected.calls)
        return std::string("read ") + outcomeName(outcome) + " [" + first.calls.join(u',').toStdString() + "], want "
            + outcomeName(expected.outcome) + " [" + expected.calls.join(u',').toStdString() + "]";
    if (outcome != station::ReadOutcome::Applied)
        return {};

    // What the shutdown writes from the applied values must read back as the same values.
    QStringList tags = first.tags;
    tags << QString(first.south ? u'S' : u'N') << QString(first.west ? u'W' : u'E');
    const QString again = folder() + QStringLiteral("/again.ini");
    QString reason;
    if (!station::writeSettingsLines(again, station::settingsLines(first.commPort, tags), &reason))
        return "write failed: " + reason.toStdString();
    Recorder second;
    if (station::readSettings(again, second) != station::ReadOutcome::Applied || second.calls != first.calls)
        return "written settings read back as [" + second.calls.join(u',').toStdString() + "], not ["
            + first.calls.join(u',').toStdString() + "]";
    return {};
}

} // namespace fuzzcheck
