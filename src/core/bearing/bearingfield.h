#pragma once
// The bearing a complete sentence reports, calibration applied.

#include <QStringView>
#include <QtGlobal>
#include <optional>

namespace bearing {

// The bearing field is the three characters after the "%" (fewer when the sentence is shorter; the CR
// counts), read as a number and rounded half to even. The calibration is added and the sum brought
// back into the compass by one subtraction of 360 when it lies above 359; nothing else is normalised,
// so a negative field stays negative and a field above 719 stays above 359.
//
// Empty when the field's value or its sum with the calibration does not fit 16 bits (only exponent
// forms such as "9E9" get there): such a sentence still shows activity, but carries no usable bearing.
std::optional<qint16> calibratedBearing(QStringView sentence, qint16 calibration);

} // namespace bearing
