#pragma once
// The station's controls by their object names, as the windows' widgets carry them ("Label_DF_STATUS").

#include "core/station/controls.h"

#include <QString>

namespace testsupport {

// The control called `name` ("Label_DF_STATUS", "Label_SITE_X1"); fails the test for a name that is none.
station::ControlId controlNamed(const char* name);

// Its caption and tag as the station holds them now.
QString captionOf(const station::Controls& controls, const char* name);
QString tagOf(const station::Controls& controls, const char* name);

} // namespace testsupport
