// The parameter and version dialogs driven through their controls while they
// are open modally over the main window.
#include <gtest/gtest.h>

#include <string>

#include "model/simulation.h"
#include "tests/win32/test_support.h"
#include "ui/parameter_dialog.h"
#include "ui/run_control.h"

namespace veldaris::win32_test {
namespace {

using ui::ID_CANCEL;
using ui::ID_OK;
using ui::ID_REWIRING_EDIT;

// The six radio pairs: parameter and the value of the first button; pair i
// has the buttons 1012 + 2i and 1013 + 2i.
struct Pair {
  int32_t SimParams::*parameter;
  int32_t first_value;
};
constexpr Pair kPairs[6] = {
    {&SimParams::network_type, SMALL_WORLD}, {&SimParams::group_count, 50}, {&SimParams::strategy_count, 4},
    {&SimParams::generation_count, 1000},    {&SimParams::connectivity, 4}, {&SimParams::strategy_length, 10},
};

// Exactly one button of every pair is checked, the one of the live value.
void CheckRadiosShowParameters(HWND dialog, const Simulation& sim) {
  for (int i = 0; i < 6; ++i) {
    const bool first = sim.params.*kPairs[i].parameter == kPairs[i].first_value;
    EXPECT_EQ(IsDlgButtonChecked(dialog, 1012 + 2 * i) == BST_CHECKED, first);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 1013 + 2 * i) == BST_CHECKED, !first);
  }
}

// Opens Set Parameters from the main window and runs body on the dialog,
// which must close it.
void WithParametersDialog(const MainWindow& window, const std::function<void(HWND)>& body) {
  bool opened = false;
  ExpectModal([&](HWND dialog) {
    opened = true;
    EXPECT_TRUE(GetWindow(dialog, GW_OWNER) == window.Handle());
    body(dialog);
    if (IsWindowVisible(dialog)) {
      ADD_FAILURE() << "the dialog is still open";
      EndDialog(dialog, 0);
    }
  });
  window.Command(ui::CMD_SET_PARAMETERS);
  EXPECT_TRUE(opened);
  EXPECT_TRUE(ModalsAsExpected());
}

TEST(Dialogs, RadioClicksKeepEveryPairShowingItsValue) {
  MainWindow window;
  WithParametersDialog(window, [&](HWND dialog) {
    EXPECT_EQ(ItemText(dialog, ID_REWIRING_EDIT), std::string("0"));
    CheckRadiosShowParameters(dialog, window.Sim());
    // All twelve buttons form one radio group, so each click unchecks the
    // other pairs until the dialog restores them.
    for (const int id : {1015, 1016, 1019, 1020, 1023, 1013, 1014, 1017, 1018, 1021, 1022, 1012, 1015}) {
      Click(dialog, id);
      const Pair& pair = kPairs[(id - 1012) / 2];
      EXPECT_EQ(window.Sim().params.*pair.parameter == pair.first_value, id % 2 == 0);
      CheckRadiosShowParameters(dialog, window.Sim());
    }
    Click(dialog, ID_CANCEL);
  });
  EXPECT_EQ(window.Sim().params.group_count, 200);
}

TEST(Dialogs, ScaleFreeDisablesTheRewiringBox) {
  MainWindow window;
  WithParametersDialog(window, [&](HWND dialog) {
    HWND edit = GetDlgItem(dialog, ID_REWIRING_EDIT);
    EXPECT_TRUE(IsWindowEnabled(edit));
    Click(dialog, 1013);
    EXPECT_TRUE(!IsWindowEnabled(edit));
    Click(dialog, 1015);  // another pair leaves the box as it is
    EXPECT_TRUE(!IsWindowEnabled(edit));
    Click(dialog, 1012);
    EXPECT_TRUE(IsWindowEnabled(edit));
    Click(dialog, 1013);
    Click(dialog, ID_CANCEL);
  });
  // Opened again with a scale-free type, the box starts disabled.
  WithParametersDialog(window, [&](HWND dialog) {
    EXPECT_TRUE(!IsWindowEnabled(GetDlgItem(dialog, ID_REWIRING_EDIT)));
    Click(dialog, ID_CANCEL);
  });
}

TEST(Dialogs, OkReadsTheFirstNineCharactersOfTheBox) {
  MainWindow window;
  ASSERT_TRUE(SetParameters(window, {}, "0.5"));
  EXPECT_EQ(window.Sim().params.rewiring_percent, 50);
  EXPECT_EQ(window.Sim().parameters_set, 1);
  // Only the first nine characters count: "000000001" is 1.0, whereas all ten
  // would be out of range and fewer would read as 0.
  ASSERT_TRUE(SetParameters(window, {}, "0000000010"));
  EXPECT_EQ(window.Sim().params.rewiring_percent, 100);
}

TEST(Dialogs, OutOfRangeRewiringIsRefusedInABoxOwnedByTheDialog) {
  MainWindow window;
  WithParametersDialog(window, [&](HWND dialog) {
    for (const char* text : {"1.01", "-0.1"}) {
      SetDlgItemTextA(dialog, ID_REWIRING_EDIT, text);
      MessageBoxSeen seen;
      ExpectModal(AnswerMessageBox(seen));
      Click(dialog, ID_OK);  // the box opens and is answered inside the click
      EXPECT_EQ(seen.text, std::string(ui::MSG_REWIRING_RANGE));
      EXPECT_EQ(seen.title, std::string("Error!"));
      EXPECT_TRUE(seen.owner == dialog);
      EXPECT_TRUE(IsWindowVisible(dialog));
      EXPECT_EQ(window.Sim().parameters_set, 0);
    }
    SetDlgItemTextA(dialog, ID_REWIRING_EDIT, "0.5");
    Click(dialog, ID_OK);
  });
  EXPECT_EQ(window.Sim().params.rewiring_percent, 50);
  EXPECT_EQ(window.Sim().parameters_set, 1);
}

// The network dropped by closing the dialog is no longer shown.
TEST(Dialogs, CancelAppliesTheNetworkValidityRule) {
  MainWindow window;
  ASSERT_TRUE(SetParameters(window, {}, "0.1"));
  window.Command(ui::CMD_BUILD_NETWORK);
  ASSERT_TRUE(window.Sim().network_built == 1);
  EXPECT_TRUE(CaptureShown(window.Handle()).Count(187, 15, 190, 18, ui::RED) > 0);  // group 1's dot
  WithParametersDialog(window, [&](HWND dialog) {
    Click(dialog, 1015);
    Click(dialog, ID_CANCEL);
  });
  EXPECT_EQ(window.Sim().params.group_count, 200);
  EXPECT_EQ(window.Sim().network_built, 0);
  EXPECT_EQ(CaptureShown(window.Handle()).Count(0, 0, 400, 400, ui::RED), 0);
}

TEST(Dialogs, VersionDialogOpensOverTheWindow) {
  MainWindow window;
  bool opened = false;
  ExpectModal([&](HWND dialog) {
    opened = true;
    EXPECT_EQ(WindowText(dialog), std::string(ui::VERSION_DIALOG_TITLE));
    EXPECT_TRUE(GetWindow(dialog, GW_OWNER) == window.Handle());
    Click(dialog, ID_OK);
    EXPECT_TRUE(!IsWindowVisible(dialog));
  });
  window.Command(ui::CMD_VERSION);
  EXPECT_TRUE(opened);
  EXPECT_TRUE(ModalsAsExpected());
}

}  // namespace
}  // namespace veldaris::win32_test
