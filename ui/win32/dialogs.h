// The parameter dialog (resource 107) and the version dialog (resource 108)
// on top of the toolkit-neutral dialog rules of ui/parameter_dialog.h.
#pragma once

#include "ui/parameter_dialog.h"
#include "ui/win32/win32_api.h"

namespace veldaris::ui::win32 {

// The parameter dialog's procedure. Its creation parameter (DialogBoxParamA's
// last argument) is the WindowState of the owner window.
INT_PTR CALLBACK ParametersDlgProc(HWND dialog, UINT message, WPARAM w_param, LPARAM l_param);
INT_PTR CALLBACK VersionDlgProc(HWND dialog, UINT message, WPARAM w_param, LPARAM l_param);

// Sets the check state of the radio-button pairs from the live parameters of
// sim, skipping the pair whose pair code (1..12) is changed_code; 0 sets all six.
void SyncRadioButtons(HWND dialog, const Simulation& sim, int changed_code);

}  // namespace veldaris::ui::win32
