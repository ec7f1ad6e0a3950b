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

#include "model/simulation.h"
#include "ui/drawing.h"
#include "ui/parameter_dialog.h"
#include "ui/recording_canvas.h"
#include "ui/run_control.h"
#include "ui/svg_canvas.h"

namespace veldaris::ui::testing {

// A window's state as at window creation, with a fixed seed and its result
// files in a private directory.
struct UiTest : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(window.simulation);
    window.use_fixed_seed = true;
    window.fixed_seed = 20240601;
    dir_ = std::filesystem::temp_directory_path() /
           (std::string("veldaris-ui-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    ASSERT_TRUE(SetResultDirectory(window.result_files, dir_.string().c_str()));
    OnCreate(window);
  }
  void TearDown() override {
    OnDestroy(window);
    std::filesystem::remove_all(dir_);
  }

  // Set Parameters from the menu, the clicks, then OK with the text.
  DialogOutcome SetParameters(std::initializer_list<int> clicks, const std::string& text = "0") {
    OnCommand(window, CMD_SET_PARAMETERS);
    ParametersDialogView view = InitParametersDialog(window);
    for (const int id : clicks) ClickRadio(window, view, id);
    return PressOk(window, text);
  }

  // Batch and progress ticks up to the tick that stops the timers.
  UiActions RunUntilFinished() {
    for (int tick = 0; tick < 100000; ++tick) {
      OnBatchTimer(window);
      if (const UiActions actions = OnProgressTimer(window); actions.stop_timers) return actions;
    }
    ADD_FAILURE() << "the run did not end";
    return UiActions{};
  }

  WindowState window;
  Simulation& sim = window.sim();
  std::filesystem::path dir_;
};

}  // namespace veldaris::ui::testing
