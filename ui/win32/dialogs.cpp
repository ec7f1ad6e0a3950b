// The Win32 parameter and version dialogs on top of the toolkit-neutral dialog rules.
#include "ui/win32/dialogs.h"

#include "ui/run_control.h"

namespace veldaris::ui::win32 {

namespace {

// The edit box yields at most this many characters plus the terminator.
constexpr int kEditBufferBytes = REWIRING_TEXT_LIMIT + 1;

// What an open parameter dialog works on, kept in its DWLP_USER slot from its
// initialisation until it closes.
struct ParametersDialogContext {
  WindowState* window;
  ParametersDialogView view;
};

ParametersDialogContext* ContextOf(HWND dialog) {
  return reinterpret_cast<ParametersDialogContext*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void EnableEdit(HWND dialog, bool enabled) { EnableWindow(GetDlgItem(dialog, ID_REWIRING_EDIT), enabled); }

INT_PTR InitDialog(HWND dialog, WindowState& window) {
  // Lives as long as the modal dialog; deleted when it is destroyed.
  auto* context = new ParametersDialogContext{&window, InitParametersDialog(window)};
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(context));
  if (!context->view.edit_enabled) {
    EnableEdit(dialog, false);
  }
  SyncRadioButtons(dialog, window.sim(), 0);
  SetDlgItemTextA(dialog, ID_REWIRING_EDIT, context->view.edit_text.c_str());
  return TRUE;  // the focus goes to the first tab stop
}

// The clicked button's parameter takes its value at once. The platform has
// already checked the clicked button and cleared the other eleven (they form
// one radio group); every pair is then shown again.
INT_PTR Click(HWND dialog, ParametersDialogContext& context, int id) {
  ClickRadio(*context.window, context.view, id);
  if (id == ID_FIRST_RADIO || id == ID_FIRST_RADIO + 1) {
    EnableEdit(dialog, context.view.edit_enabled);
  }
  SyncRadioButtons(dialog, context.window->sim(), 0);
  return FALSE;
}

INT_PTR Ok(HWND dialog, ParametersDialogContext& context) {
  char text[kEditBufferBytes] = {};
  GetDlgItemTextA(dialog, ID_REWIRING_EDIT, text, kEditBufferBytes);
  const DialogOutcome outcome = PressOk(*context.window, text);
  if (!outcome.message.empty()) {
    MessageBoxA(dialog, outcome.message.c_str(), ERROR_TITLE, MB_ICONWARNING | MB_OK);
  }
  if (!outcome.close) {
    return FALSE;  // the dialog stays open
  }
  EndDialog(dialog, 0);
  return TRUE;
}

INT_PTR Cancel(HWND dialog, ParametersDialogContext& context) {
  if (PressCancel(*context.window).close) {
    EndDialog(dialog, 0);
  }
  return FALSE;
}

}  // namespace

void SyncRadioButtons(HWND dialog, const Simulation& sim, int changed_code) {
  RadioCheck steps[12];
  const int count = RadioChecksFor(sim, changed_code, steps);
  for (int i = 0; i < count; ++i) {
    SendDlgItemMessageA(dialog, steps[i].id, BM_SETCHECK, steps[i].checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

INT_PTR CALLBACK ParametersDlgProc(HWND dialog, UINT message, WPARAM w_param, LPARAM l_param) {
  if (message == WM_INITDIALOG) {
    return InitDialog(dialog, *reinterpret_cast<WindowState*>(l_param));
  }
  ParametersDialogContext* context = ContextOf(dialog);
  if (context == nullptr) {
    return FALSE;
  }
  switch (message) {
    case WM_COMMAND: {
      // Only the control id counts, never the notification code.
      const int id = LOWORD(w_param);
      if (id == ID_OK) {
        return Ok(dialog, *context);
      }
      if (id == ID_CANCEL) {
        return Cancel(dialog, *context);
      }
      if (IsRadioButton(id)) {
        return Click(dialog, *context, id);
      }
      return FALSE;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrA(dialog, DWLP_USER, 0);
      delete context;
      return FALSE;
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
