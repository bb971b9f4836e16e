#include "controlnames.h"

#include <gtest/gtest.h>

#include <cstring>

namespace testsupport {

station::ControlId controlNamed(const char* name)
{
    for (int i = 0; i < station::kControlCount; ++i) {
        const auto id = static_cast<station::ControlId>(i);
        if (std::strcmp(station::controlName(id), name) == 0)
            return id;
    }
    ADD_FAILURE() << "no control " << name;
    return station::ControlId::Form_STATION;
}

QString captionOf(const station::Controls& controls, const char* name)
{
    return controls.caption(controlNamed(name));
}

QString tagOf(const station::Controls& controls, const char* name)
{
    return controls.tag(controlNamed(name));
}

} // namespace testsupport
