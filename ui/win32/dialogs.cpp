#include "ui/win32/dialogs.h"

#include "ui/run_control.h"

namespace veldaris::ui::win32 {

namespace {

// The dialog's visible state between events (the dialog is modal, so there
// is at most one).
ParametersDialogView g_view;

// The edit box yields at most this many characters plus the terminator.
constexpr int kEditBufferBytes = REWIRING_TEXT_LIMIT + 1;

bool IsRadio(int id) { return id >= ID_FIRST_RADIO && id <= ID_LAST_RADIO; }

void SetCheck(HWND dialog, int id, bool checked) {
  SendDlgItemMessageA(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// Shows the check states of radios on the dialog, pair by pair, skipping the
// pair with the code changed_code.
void ShowRadioChecks(HWND dialog, const RadioChecks& radios, int changed_code) {
  for (int pair = 0; pair < 6; ++pair) {
    if (changed_code == 2 * pair + 1 || changed_code == 2 * pair + 2) {
      continue;
    }
    const int first = ID_FIRST_RADIO + 2 * pair;
    const int second = first + 1;
    if (radios.IsChecked(first)) {
      SetCheck(dialog, first, true);
      SetCheck(dialog, second, false);
    } else {
      SetCheck(dialog, first, false);
      SetCheck(dialog, second, true);
    }
  }
}

void EnableEdit(HWND dialog, bool enabled) { EnableWindow(GetDlgItem(dialog, ID_REWIRING_EDIT), enabled); }

INT_PTR InitDialog(HWND dialog) {
  g_view = InitParametersDialog();
  if (!g_view.edit_enabled) {
    EnableEdit(dialog, false);
  }
  SyncRadioButtons(dialog, 0);
  SetDlgItemTextA(dialog, ID_REWIRING_EDIT, g_view.edit_text.c_str());
  return TRUE;  // the focus goes to the first tab stop
}

// The clicked button's parameter takes its value at once. The platform has
// already checked the clicked button and cleared the other eleven (they form
// one radio group); the view restores every pair.
INT_PTR Click(HWND dialog, int id) {
  ClickRadio(g_view, id);
  if (id == ID_FIRST_RADIO || id == ID_FIRST_RADIO + 1) {
    EnableEdit(dialog, g_view.edit_enabled);
  }
  ShowRadioChecks(dialog, g_view.radios, 0);
  return FALSE;
}

INT_PTR Ok(HWND dialog) {
  char text[kEditBufferBytes] = {};
  GetDlgItemTextA(dialog, ID_REWIRING_EDIT, text, kEditBufferBytes);
  const DialogOutcome outcome = PressOk(text);
  if (!outcome.message.empty()) {
    MessageBoxA(dialog, outcome.message.c_str(), ERROR_TITLE, MB_ICONWARNING | MB_OK);
  }
  if (!outcome.close) {
    return FALSE;  // the dialog stays open
  }
  EndDialog(dialog, 0);
  return TRUE;
}

INT_PTR Cancel(HWND dialog) {
  if (PressCancel().close) {
    EndDialog(dialog, 0);
  }
  return FALSE;
}

}  // namespace

void SyncRadioButtons(HWND dialog, int changed_code) {
  RadioChecks radios;
  ::veldaris::ui::SyncRadioButtons(radios, 0);
  ShowRadioChecks(dialog, radios, changed_code);
}

INT_PTR CALLBACK ParametersDlgProc(HWND dialog, UINT message, WPARAM w_param, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return InitDialog(dialog);
    case WM_COMMAND: {
      // Only the control id counts, never the notification code.
      const int id = LOWORD(w_param);
      if (id == ID_OK) {
        return Ok(dialog);
      }
      if (id == ID_CANCEL) {
        return Cancel(dialog);
      }
      if (IsRadio(id)) {
        return Click(dialog, id);
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK VersionDlgProc(HWND dialog, UINT message, WPARAM w_param, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(w_param) == ID_OK || LOWORD(w_param) == ID_CANCEL) {
        EndDialog(dialog, 0);
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace veldaris::ui::win32
