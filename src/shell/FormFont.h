#pragma once

#include <QFont>

namespace shell {

// The window's face: Tahoma of 11 pixels at 96 dpi (8 points). Wine's metric-compatible Tahoma is
// loaded from its file when the family is not installed; without either, the platform's sans.
QFont formFont();

} // namespace shell
