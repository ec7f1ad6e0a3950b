// The program's icon: one 32 x 32 image in the 16 standard colours.
#pragma once

#include <QIcon>
#include <QImage>

namespace veldaris::ui::qt {

inline constexpr int ICON_SIZE = 32;

// A ring of eight red groups joined by green links around a blue hub, on white
// with a black border, reduced to the 16-colour palette.
QImage AppIconImage();
QIcon AppIcon();

}  // namespace veldaris::ui::qt
