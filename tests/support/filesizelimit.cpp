#include "filesizelimit.h"

namespace testsupport {

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    if (::getrlimit(RLIMIT_FSIZE, &m_old) != 0)
        return;
    rlimit lowered = m_old;
    lowered.rlim_cur = bytes;
    m_set = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    if (m_set)
        ::setrlimit(RLIMIT_FSIZE, &m_old);
}

} // namespace testsupport
