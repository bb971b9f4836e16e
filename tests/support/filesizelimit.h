#pragma once
// Lowers this process's soft file size limit (RLIMIT_FSIZE) while the object lives, so that writes
// beyond `bytes` fail short as on a full disk; the old limit comes back whatever the test does.

#include <sys/resource.h>

namespace testsupport {

class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool isSet() const { return m_set; }

private:
    rlimit m_old{};
    bool m_set = false;
};

} // namespace testsupport
