// The resource script takes its ids from resource.h; the code takes them from
// the neutral UI headers. They must be the same numbers.
#include <string_view>

#include "ui/parameter_dialog.h"
#include "ui/run_control.h"
#include "ui/win32/resource.h"

namespace veldaris::ui::win32 {

static_assert(IDR_MAIN_MENU == MENU_ID);
static_assert(IDM_BUILD_NETWORK == CMD_BUILD_NETWORK);
static_assert(IDM_EXECUTE_SIMULATION == CMD_EXECUTE_SIMULATION);
static_assert(IDM_EXIT == CMD_EXIT);
static_assert(IDM_SET_PARAMETERS == CMD_SET_PARAMETERS);
static_assert(IDM_VERSION == CMD_VERSION);
static_assert(IDD_SET_PARAMETERS == PARAMETERS_DIALOG_ID);
static_assert(IDD_VERSION == VERSION_DIALOG_ID);
static_assert(IDI_VELDARIS == ICON_ID);
static_assert(IDC_REWIRING == ID_REWIRING_EDIT);
static_assert(IDC_SMALL_WORLD == ID_FIRST_RADIO);
static_assert(IDC_LENGTH_30 == ID_LAST_RADIO);
static_assert(IDC_LENGTH_30 - IDC_SMALL_WORLD == 11);

}  // namespace veldaris::ui::win32
