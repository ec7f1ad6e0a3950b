// The parameter dialog (resource 107) and the version dialog (resource 108)
// on top of the toolkit-neutral dialog rules of ui/parameter_dialog.h.
#pragma once

#include "ui/parameter_dialog.h"
#include "ui/win32/win32_api.h"

namespace veldaris::ui::win32 {

INT_PTR CALLBACK ParametersDlgProc(HWND dialog, UINT message, WPARAM w_param, LPARAM l_param);
INT_PTR CALLBACK VersionDlgProc(HWND dialog, UINT message, WPARAM w_param, LPARAM l_param);

// Sets the check state of the radio-button pairs from the live parameters,
// skipping the pair whose pair code (1..12) is changed_code; 0 sets all six.
// Per pair the checked button is set before the unchecked one when the first
// value is in force, the other way round otherwise.
void SyncRadioButtons(HWND dialog, int changed_code);

}  // namespace veldaris::ui::win32
