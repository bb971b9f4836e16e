#include "staletemporaries.h"

#include "platform/eventlog.h"
#include "platform/regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace station {

namespace {

constexpr int kLineCount = 26;
constexpr qint64 kLongestLeftover = 1024; // 26 lines of a few characters each

// Lines 1 to 24 hold numbers (" 3 ", "-1", "7"), lines 25 and 26 a hemisphere.
bool isSettingsLine(int line, const QByteArray& text, bool cutShort)
{
    if (line > 24) {
        const QByteArray letters = line == 25 ? QByteArrayLiteral("NS") : QByteArrayLiteral("EW");
        return (cutShort && text.isEmpty()) || (text.size() == 1 && letters.contains(text[0]));
    }
    static const QRegularExpression whole(QStringLiteral("^ ?-?[0-9]{1,5} ?$"));
    static const QRegularExpression part(QStringLiteral("^ ?-?[0-9]{0,5} ?$"));
    const QString latin = QString::fromLatin1(text);
    if (cutShort && part.match(latin).hasMatch())
        return true;
    if (!whole.match(latin).hasMatch())
        return false;
    const int value = latin.trimmed().toInt();
    return value >= -32768 && value <= 32767;
}

QString reasonToKeep(const QFileInfo& info, const QDateTime& now)
{
    if (info.isSymLink() || !info.isFile())
        return QStringLiteral("not a regular file");
    if (info.lastModified().toUTC().secsTo(now) < kStaleTemporaryMinutes * 60)
        return QStringLiteral("changed less than %1 minutes ago").arg(kStaleTemporaryMinutes);
    const platform::SmallFile file = platform::readSmallFile(info.filePath(), kLongestLeftover + 1);
    if (file.status != platform::SmallFile::Status::Read)
        return file.problem.isEmpty() ? QStringLiteral("cannot be read") : file.problem;
    if (!holdsOnlySettingsLines(file.content))
        return QStringLiteral("it holds more than settings lines");
    return {};
}

} // namespace

bool holdsOnlySettingsLines(const QByteArray& content)
{
    if (content.size() > kLongestLeftover)
        return false;
    const QList<QByteArray> lines = content.split('\n');
    // The piece after the last line end: empty for a whole file, else a line the write did not finish.
    if (lines.size() - 1 > kLineCount || (lines.size() - 1 == kLineCount && !lines.last().isEmpty()))
        return false;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (!lines[i].endsWith('\r') || !isSettingsLine(int(i) + 1, lines[i].chopped(1), false))
            return false;
    }
    QByteArray tail = lines.last();
    if (tail.endsWith('\r'))
        tail.chop(1);
    return !tail.contains('\r') && isSettingsLine(int(lines.size()), tail, true);
}

TemporariesFound removeStaleTemporaries(const QString& settingsFile, const QDateTime& now)
{
    TemporariesFound found;
    const QFileInfo settings(settingsFile);
    const QString base = settings.fileName() + u'.';
    const QDir folder = settings.absoluteDir();
    const QStringList names = folder.entryList({base + u'*'}, QDir::AllEntries | QDir::Hidden | QDir::System
                                                   | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (name.size() != base.size() + 6 || !name.startsWith(base))
            continue;
        const QFileInfo info(folder.filePath(name));
        const QString shown = QDir::toNativeSeparators(info.filePath());
        const QString keep = reasonToKeep(info, now);
        if (keep.isEmpty() && QFile::remove(info.filePath())) {
            platform::logEvent(QStringLiteral("Removed %1, left by a settings write that was cut short").arg(shown));
            found.removed << name;
            continue;
        }
        platform::logEvent(QStringLiteral("%1 looks like a temporary of the settings file but is left as it is (%2)")
                               .arg(shown, keep.isEmpty() ? QStringLiteral("cannot be removed") : keep));
        found.leftAlone << name;
    }
    return found;
}

} // namespace station
