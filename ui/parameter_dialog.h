// The parameter and version dialogs' behaviour, independent of any toolkit:
// control ids and texts, initialisation, radio clicks, OK and Cancel, working
// directly on the live parameters of the window's simulation.
#pragma once

#include <string>

#include "model/simulation.h"
#include "ui/run_control.h"

namespace veldaris::ui {

inline constexpr int PARAMETERS_DIALOG_ID = 107;
inline constexpr int VERSION_DIALOG_ID = 108;
inline constexpr const char* PARAMETERS_DIALOG_TITLE = "Set Parameters";
inline constexpr const char* VERSION_DIALOG_TITLE = "Version Information";
inline constexpr const char* VERSION_TEXT = "Veldaris Version 1.25a";
// Both dialogs: a modal frame with caption and close box, this font.
inline constexpr const char* DIALOG_FONT_FACE = "MS Shell Dlg";
inline constexpr int DIALOG_FONT_POINTS = 8;

inline constexpr int ID_OK = 1;
inline constexpr int ID_CANCEL = 2;
inline constexpr int ID_REWIRING_EDIT = 1002;
inline constexpr int ID_FIRST_RADIO = 1012;  // 1012..1023, six pairs
inline constexpr int ID_LAST_RADIO = 1023;
inline constexpr int REWIRING_TEXT_LIMIT = 9;  // characters the edit box holds

inline constexpr const char* MSG_REWIRING_RANGE = "Rewiring Probability must be set between 0 to 1.0.";

// The credits line of the version dialog.
extern const char* const VERSION_CREDITS;

// One control of a dialog resource: rectangle in dialog units.
enum class ControlKind { DefaultButton, Button, Static, GroupBox, Radio, Edit };
struct DialogControl {
  int id;  // -1 where the resource gives none
  ControlKind kind;
  const char* text;  // with '&' mnemonics
  int x, y, width, height;
};
struct DialogTemplate {
  const char* title;
  int width, height;  // dialog units
  const DialogControl* controls;
  int control_count;
};
const DialogTemplate& ParametersDialogTemplate();
const DialogTemplate& VersionDialogTemplate();

// The twelve radio buttons 1012..1023 form six pairs, one per parameter
// (network type, N, S, G, K, L); the first button of a pair stands for the
// first of its two values. Pair codes: 1 for 1012 .. 12 for 1023.
bool IsRadioButton(int id);
int RadioPairCode(int id);

// One step of showing the pairs: the check state of one button.
struct RadioCheck {
  int id;
  bool checked;
};
// The steps that make the pairs show the live parameters, pair by pair and in
// each pair the first button then the second, skipping the pair whose pair
// code is changed_code (0 skips none). Returns the number of steps (at most 12).
int RadioChecksFor(const Simulation& sim, int changed_code, RadioCheck steps[12]);

// The check states of the twelve radio buttons (index id - ID_FIRST_RADIO),
// as the dialog shows them.
struct RadioChecks {
  bool checked[12] = {};
  bool IsChecked(int id) const { return checked[id - ID_FIRST_RADIO]; }
};

// The dialog's visible state between events.
struct ParametersDialogView {
  RadioChecks radios;
  bool edit_enabled = true;
  std::string edit_text;  // at most REWIRING_TEXT_LIMIT characters
};

// Applies RadioChecksFor(sim, changed_code) to radios.
void SyncRadioButtons(const Simulation& sim, RadioChecks& radios, int changed_code);

// Opening: captures N, K, the rewiring percentage and the network type, and
// returns the initial view.
ParametersDialogView InitParametersDialog(WindowState& window);

// A click on a radio button 1012..1023: the parameter takes the button's value
// at once; the view shows every pair's current value. Other ids: nothing.
void ClickRadio(WindowState& window, ParametersDialogView& view, int id);

// The outcome of OK or Cancel.
struct DialogOutcome {
  bool close = false;   // the dialog closes
  std::string message;  // a message box (title "Error!", owner the dialog) when not empty
};

// OK with the text of the edit box (read even when it is disabled, cut to its
// first REWIRING_TEXT_LIMIT characters): derives m0 and m, stores the
// percentage, checks its range for a small world and applies the network
// validity rule. The text the dialog showed at its opening stands for the
// percentage stored then; text that does not start with a number is refused
// for a small world like a percentage out of range.
DialogOutcome PressOk(WindowState& window, const std::string& edit_text);
// Cancel, Esc or the close box: the network validity rule alone.
DialogOutcome PressCancel(WindowState& window);

// The edit box's text for a stored percentage: "0" for 0, else "%.1f" of
// percent / 100.
std::string RewiringText(int percent);

// atof's prefix rules, always with '.' as the decimal point whatever the
// locale: leading white space, an optional sign, digits with an optional
// fraction and exponent; text that reads as no number gives 0.0.
double ParseRewiringText(const std::string& text);

}  // namespace veldaris::ui
