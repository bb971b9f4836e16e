#include "settingsfile.h"

#include "core/options/digitfields.h"
#include "platform/numbertext.h"
#include "platform/regularfile.h"

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

QString checkedDigit(int field, const QString& tag)
{
    const options::DigitField& f = options::kDigitFields.at(static_cast<size_t>(field));
    if (tag.size() == 1 && tag[0] >= u'0' && tag[0].unicode() <= static_cast<char16_t>(f.accepted))
        return tag;
    return QString(QChar::fromLatin1(f.fallback));
}

ReadOutcome readSettings(const QString& path, SettingsTarget& target, QString* problem)
{
    const platform::SmallFile file = platform::readSmallFile(path);
    switch (file.status) {
    case platform::SmallFile::Status::Read:
        return applySettings(file.content, target);
    case platform::SmallFile::Status::NotRegular:
        if (problem)
            *problem = file.problem;
        return ReadOutcome::NotRegular;
    case platform::SmallFile::Status::Missing:
    case platform::SmallFile::Status::Unreadable:
        break;
    }
    return ReadOutcome::Missing;
}

ReadOutcome applySettings(const QByteArray& content, SettingsTarget& target)
{
    const QStringList lines = fileLines(content);

    // Lines 1 to 24 hold numbers; a line without one reads as 0 (line 1 then fails at the port).
    for (int line = 1; line <= 1 + options::kDigitFieldCount; ++line) {
        if (line > lines.size())
            return ReadOutcome::Damaged;
        const auto number = platform::readInt16(lines[line - 1]);
        if (!number)
            return ReadOutcome::Damaged;
        if (line == 1) {
            if (!target.setCommPort(*number))
                return ReadOutcome::Damaged;
        } else {
            target.setDigitTag(line - 2, QString::number(*number));
        }
    }
    if (lines.size() < 25)
        return ReadOutcome::Damaged;
    if (trimmedBlanks(lines[24]) == QStringLiteral("S"))
        target.toggleLatitudeHemisphere();
    if (lines.size() < kLineCount)
        return ReadOutcome::Damaged;
    if (trimmedBlanks(lines[25]) == QStringLiteral("W"))
        target.toggleLongitudeHemisphere();
    return ReadOutcome::Applied;
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

QStringList settingsLines(int commPort, const QStringList& tags)
{
    QStringList lines{platform::numberText(commPort) + u' '};
    lines += tags;
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
