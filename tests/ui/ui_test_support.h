// Shared set-up of the UI tests: the whole layer, the state as at window
// creation, a fixed seed, and result files kept in a private directory.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "model/random.h"
#include "model/simulation_state.h"
#include "ui/drawing.h"
#include "ui/parameter_dialog.h"
#include "ui/recording_canvas.h"
#include "ui/run_control.h"
#include "ui/svg_canvas.h"

namespace veldaris::ui::testing {

struct UiTest : ::testing::Test {
  void SetUp() override {
    ClearSimulationState();
    UseFixedSeed(20240601);
    dir_ = std::filesystem::temp_directory_path() /
           (std::string("veldaris-ui-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    std::strncpy(g_state.result_directory, dir_.string().c_str(), RESULT_PATH_CAPACITY - 1);
    OnCreate();
  }
  void TearDown() override {
    OnDestroy();
    std::filesystem::remove_all(dir_);
  }

  // Set Parameters from the menu, the clicks, then OK with the text.
  static DialogOutcome SetParameters(std::initializer_list<int> clicks, const std::string& text = "0") {
    OnCommand(CMD_SET_PARAMETERS);
    ParametersDialogView view = InitParametersDialog();
    for (const int id : clicks) ClickRadio(view, id);
    return PressOk(text);
  }

  // Batch and progress ticks up to the tick that stops the timers.
  static UiActions RunUntilFinished() {
    for (int tick = 0; tick < 100000; ++tick) {
      OnBatchTimer();
      if (const UiActions actions = OnProgressTimer(); actions.stop_timers) return actions;
    }
    ADD_FAILURE() << "the run did not end";
    return UiActions{};
  }

  std::filesystem::path dir_;
};

}  // namespace veldaris::ui::testing
