// Dialogs built from the dialog templates: every control at its rectangle,
// converted from dialog units to pixels with the dialog font's base units.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <map>

#include "ui/parameter_dialog.h"

class QDialog;
class QWidget;

namespace veldaris::ui::qt {

// "MS Shell Dlg" 8 pt, or the application's sans font at 8 pt where that face
// does not exist.
QFont DialogFont();

// Horizontal and vertical base units of a font: the average width of the 52
// Latin letters, rounded, and the character height.
struct DialogBaseUnits {
  int x = 0;
  int y = 0;
};
DialogBaseUnits BaseUnitsOf(const QFont& font);

// Dialog units to pixels: x * baseX / 4 and y * baseY / 8, rounded to nearest.
QRect DialogUnitsToPixels(const DialogBaseUnits& units, int x, int y, int width, int height);

// Gives the dialog its title, font and fixed client size, and creates the
// template's controls in template order (which is also the tab and stacking
// order). Controls with an id get it as their objectName; the returned map
// holds them by id.
std::map<int, QWidget*> BuildDialog(QDialog& dialog, const DialogTemplate& dialog_template);

}  // namespace veldaris::ui::qt
