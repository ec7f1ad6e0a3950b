// Fuzz target: the parameter dialog's OK with any text in the rewiring box.
// The first byte picks the radio buttons clicked before OK (bit 0: Scale Free,
// bit 1: back to Small World); the rest is the box's text.
//
// Checked: OK closes the dialog exactly when it accepts, and then a small
// world's percentage lies in 0..100; a refusal always says why; the text the
// dialog shows for any stored value fits the box and, confirmed as shown,
// keeps that value.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ui/parameter_dialog.h"

namespace {

void Require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace veldaris;
  using namespace veldaris::ui;
  // One window for every input: allocating a simulation per input would
  // dominate the run.
  static WindowState* window = new WindowState;
  Simulation& sim = window->sim();
  ApplyDefaultParameters(sim);
  sim.parameters_set = 0;
  sim.network_built = 1;

  const uint8_t clicks = size > 0 ? data[0] : 0;
  const std::string text(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0), size > 0 ? size - 1 : 0);
  ParametersDialogView view = InitParametersDialog(*window);
  if ((clicks & 1) != 0) ClickRadio(*window, view, ID_FIRST_RADIO + 1);
  if ((clicks & 2) != 0) ClickRadio(*window, view, ID_FIRST_RADIO);

  const DialogOutcome outcome = PressOk(*window, text);
  Require(outcome.close == outcome.message.empty());
  Require(outcome.close == (sim.parameters_set == 1));
  if (outcome.close && sim.params.network_type == SMALL_WORLD) {
    Require(sim.params.rewiring_percent >= 0 && sim.params.rewiring_percent <= 100);
  }

  // Reopened, the dialog shows the stored value in at most nine characters,
  // and OK on that text keeps it.
  const int32_t stored = sim.params.rewiring_percent;
  const ParametersDialogView reopened = InitParametersDialog(*window);
  Require(reopened.edit_text.size() <= static_cast<size_t>(REWIRING_TEXT_LIMIT));
  PressOk(*window, reopened.edit_text);
  Require(sim.params.rewiring_percent == stored);
  return 0;
}
