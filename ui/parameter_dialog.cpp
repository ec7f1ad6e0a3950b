// The parameter and version dialogs' rules, apart from any toolkit.
#include "ui/parameter_dialog.h"

#include "io/number_text.h"

namespace veldaris::ui {

namespace {

constexpr const char* kCredits = "Evolution of cooperation on networks";

constexpr DialogControl kParametersControls[] = {
    {ID_OK, ControlKind::DefaultButton, "OK", 116, 252, 50, 14},
    {ID_CANCEL, ControlKind::Button, "Cancel", 177, 252, 50, 14},
    {-1, ControlKind::Static, "Rewiring Probability (0 to 1.0) (&P)", 36, 56, 108, 8},
    {-1, ControlKind::GroupBox, "Network Type(&T)", 26, 17, 194, 29},
    {1012, ControlKind::Radio, "Small World(&W)", 42, 29, 65, 10},
    {1013, ControlKind::Radio, "Scale Free(&B)", 150, 29, 59, 10},
    {ID_REWIRING_EDIT, ControlKind::Edit, "", 186, 53, 18, 15},
    {-1, ControlKind::GroupBox, "Number of Groups(&N)", 26, 70, 194, 29},
    {1014, ControlKind::Radio, "50 Groups(&5)", 42, 82, 58, 10},
    {1015, ControlKind::Radio, "200 Groups(&2)", 145, 82, 62, 10},
    {-1, ControlKind::GroupBox, "Number of Strategies for Group(&S)", 26, 103, 194, 29},
    {1016, ControlKind::Radio, "4 Strategies(&4)", 42, 115, 64, 10},
    {1017, ControlKind::Radio, "8 Strategies(&8)", 144, 115, 64, 10},
    {-1, ControlKind::GroupBox, "Number of Generations(&G)", 26, 136, 194, 29},
    {1018, ControlKind::Radio, "1000 Generations(&1)", 35, 149, 82, 10},
    {1019, ControlKind::Radio, "3000 Generations(&3)", 133, 149, 82, 10},
    {-1, ControlKind::GroupBox, "Average Connectivity for Group(&A)", 26, 170, 194, 29},
    {1020, ControlKind::Radio, "4 Connectivity(&C)", 37, 183, 72, 10},
    {1021, ControlKind::Radio, "8 Connectivity(&D)", 141, 183, 72, 10},
    {-1, ControlKind::GroupBox, "Length of Strategy(&L)", 26, 204, 194, 29},
    {1022, ControlKind::Radio, "L=10(&P)", 46, 217, 42, 10},
    {1023, ControlKind::Radio, "L=30(&Q)", 153, 217, 43, 10},
};

constexpr DialogControl kVersionControls[] = {
    {ID_OK, ControlKind::DefaultButton, "OK", 96, 52, 50, 14},
    {-1, ControlKind::Static, VERSION_TEXT, 18, 17, 211, 8},
    {-1, ControlKind::Static, kCredits, 48, 34, 147, 8},
};

constexpr int CountOf(const auto& array) { return static_cast<int>(sizeof array / sizeof array[0]); }

// The six radio pairs: the parameter, its two values, in pair order. Pair p
// (0-based) has the buttons ID_FIRST_RADIO + 2p and + 2p + 1 and the pair
// codes 2p + 1 and 2p + 2.
struct RadioPair {
  int32_t SimParams::*parameter;
  int32_t first;
  int32_t second;
};
constexpr RadioPair kPairs[6] = {
    {&SimParams::network_type, SMALL_WORLD, SCALE_FREE},
    {&SimParams::group_count, 50, 200},
    {&SimParams::strategy_count, 4, 8},
    {&SimParams::generation_count, 1000, 3000},
    {&SimParams::connectivity, 4, 8},
    {&SimParams::strategy_length, 10, 30},
};

}  // namespace

const char* const VERSION_CREDITS = kCredits;

const DialogTemplate& ParametersDialogTemplate() {
  static constexpr DialogTemplate kTemplate{PARAMETERS_DIALOG_TITLE, 250, 273, kParametersControls,
                                            CountOf(kParametersControls)};
  return kTemplate;
}

const DialogTemplate& VersionDialogTemplate() {
  static constexpr DialogTemplate kTemplate{VERSION_DIALOG_TITLE, 243, 73, kVersionControls, CountOf(kVersionControls)};
  return kTemplate;
}

bool IsRadioButton(int id) { return id >= ID_FIRST_RADIO && id <= ID_LAST_RADIO; }

int RadioPairCode(int id) { return id - ID_FIRST_RADIO + 1; }

int RadioChecksFor(const Simulation& sim, int changed_code, RadioCheck steps[12]) {
  int count = 0;
  for (int pair = 0; pair < 6; ++pair) {
    if (changed_code == 2 * pair + 1 || changed_code == 2 * pair + 2) {
      continue;
    }
    const bool first = sim.params.*kPairs[pair].parameter == kPairs[pair].first;
    steps[count++] = RadioCheck{ID_FIRST_RADIO + 2 * pair, first};
    steps[count++] = RadioCheck{ID_FIRST_RADIO + 2 * pair + 1, !first};
  }
  return count;
}

void SyncRadioButtons(const Simulation& sim, RadioChecks& radios, int changed_code) {
  RadioCheck steps[12];
  const int count = RadioChecksFor(sim, changed_code, steps);
  for (int i = 0; i < count; ++i) {
    radios.checked[steps[i].id - ID_FIRST_RADIO] = steps[i].checked;
  }
}

ParametersDialogView InitParametersDialog(WindowState& window) {
  const Simulation& sim = window.sim();
  window.dialog_opened_with = NetworkShapeOf(sim);
  window.reference_network_type = sim.params.network_type;

  ParametersDialogView view;
  view.edit_enabled = sim.params.network_type != SCALE_FREE;
  SyncRadioButtons(sim, view.radios, 0);
  view.edit_text = RewiringText(sim.params.rewiring_percent);
  return view;
}

void ClickRadio(WindowState& window, ParametersDialogView& view, int id) {
  if (!IsRadioButton(id)) {
    return;
  }
  const int index = id - ID_FIRST_RADIO;
  const RadioPair& pair = kPairs[index / 2];
  window.sim().params.*pair.parameter = index % 2 == 0 ? pair.first : pair.second;
  if (id == ID_FIRST_RADIO) {
    view.edit_enabled = true;
  } else if (id == ID_FIRST_RADIO + 1) {
    view.edit_enabled = false;
  }
  // All twelve buttons form one radio group: the click leaves only the clicked
  // button checked, and the other five pairs are then set again.
  view.radios = RadioChecks{};
  view.radios.checked[index] = true;
  SyncRadioButtons(window.sim(), view.radios, RadioPairCode(id));
}

DialogOutcome PressOk(WindowState& window, const std::string& edit_text) {
  // The edit box yields at most its first REWIRING_TEXT_LIMIT characters, even when disabled.
  const std::string text = edit_text.substr(0, REWIRING_TEXT_LIMIT);
  const NetworkShape& at_open = window.dialog_opened_with;
  // The box shows the stored percentage rounded to a tenth ("0.3" for 28):
  // confirming the text as shown keeps the value it stands for, so an
  // untouched dialog changes nothing.
  int32_t percent = at_open.rewiring_percent;
  const int32_t* typed = &percent;
  if (text != RewiringText(at_open.rewiring_percent)) {
    const std::optional<double> probability = ReadNumberPrefix(text);
    percent = probability ? RewiringPercentFromProbability(*probability) : 0;
    typed = probability ? &percent : nullptr;
  }
  DialogOutcome outcome;
  if (!ConfirmParameters(window.sim(), at_open, typed)) {
    outcome.message = MSG_REWIRING_RANGE;  // the percentage stays stored; the dialog stays open
    return outcome;
  }
  outcome.close = true;
  return outcome;
}

DialogOutcome PressCancel(WindowState& window) {
  CancelParameters(window.sim(), window.dialog_opened_with);
  DialogOutcome outcome;
  outcome.close = true;
  return outcome;
}

std::string RewiringText(int percent) {
  std::string text = percent == 0 ? FormatFixed(0.0, 0) : FormatFixed(percent / 100.0, 1);
  if (text.size() > static_cast<size_t>(REWIRING_TEXT_LIMIT)) {
    text.resize(REWIRING_TEXT_LIMIT);
  }
  return text;
}

double ParseRewiringText(const std::string& text) { return ParseNumberPrefix(text); }

}  // namespace veldaris::ui
