#include "eventlog.h"

#include <cstdio>

namespace platform {

namespace {
std::function<void(const QString&)>& sink()
{
    static std::function<void(const QString&)> current;
    return current;
}
} // namespace

void logEvent(const QString& line)
{
    if (sink()) {
        sink()(line);
        return;
    }
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

void setEventSink(std::function<void(const QString&)> replacement)
{
    sink() = std::move(replacement);
}

} // namespace platform
