// The main window driven through its window procedure: refused commands, Exit,
// the reference run on the real timers with the pictures it leaves and the
// result files it writes, and a result file that cannot be written. Last, the
// clean-up of the GDI canvas the window paints with.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "model/simulation.h"
#include "tests/win32/test_support.h"
#include "ui/run_control.h"
#include "ui/win32/gdi_canvas.h"

namespace veldaris::win32_test {
namespace {

using ui::BLUE;
using ui::GREEN;
using ui::RED;

std::vector<char> StateBytes(const MainWindow& window) {
  const char* bytes = reinterpret_cast<const char*>(&window.Sim());
  std::vector<char> state(bytes, bytes + sizeof(Simulation));
  const ui::WindowState& own = window.State();
  state.push_back(static_cast<char>(own.reference_network_type));
  state.push_back(static_cast<char>(own.running));
  return state;
}

void CheckRefusal(const MainWindow& window, int command, const char* message) {
  const std::vector<char> before = StateBytes(window);
  MessageBoxSeen seen;
  ExpectModal(AnswerMessageBox(seen));
  window.Command(command);
  EXPECT_TRUE(ModalsAsExpected());
  EXPECT_EQ(seen.text, std::string(message));
  EXPECT_EQ(seen.title, std::string("Error!"));
  EXPECT_TRUE(seen.owner == window.Handle());
  EXPECT_TRUE(StateBytes(window) == before);  // a refused command changes nothing
}

TEST(MainWindow, RefusedCommandsShowAnErrorBoxAndChangeNothing) {
  MainWindow window;
  CheckRefusal(window, ui::CMD_BUILD_NETWORK, ui::MSG_SET_PARAMETERS_FIRST);
  CheckRefusal(window, ui::CMD_EXECUTE_SIMULATION, ui::MSG_BUILD_FIRST);
  ASSERT_TRUE(SetParameters(window, {}, "0.1"));
  window.Command(ui::CMD_BUILD_NETWORK);
  ASSERT_TRUE(window.Sim().network_built == 1);
  ASSERT_TRUE(SetParameters(window, {1013}, "0.1"));
  CheckRefusal(window, ui::CMD_EXECUTE_SIMULATION, ui::MSG_TYPE_CHANGED);
}

TEST(MainWindow, ExitPostsTheQuitMessage) {
  MainWindow window;
  window.Command(ui::CMD_EXIT);
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(static_cast<int>(message.wParam), 0);
}

// A red dot at every group, a green stroke through the middle of every link,
// a blue point for every degree that occurs, and the two series of the chart.
void CheckPicture(const Capture& c, const Simulation& sim) {
  const int n = sim.params.group_count;
  int dots = 0;
  int links = 0;
  int strokes = 0;
  for (int g = 1; g <= n; ++g) {
    const GroupRecord& r = sim.groups[g];
    dots += c.Count(r.x, r.y, r.x + 3, r.y + 3, RED) > 0 ? 1 : 0;
    for (int j = 1; j <= r.degree; ++j, ++links) {
      const GroupRecord& other = sim.groups[r.neighbours[j]];
      const int x = (r.x + other.x) / 2 + 2;
      const int y = (r.y + other.y) / 2 + 2;
      strokes += c.Count(x - 1, y - 1, x + 1, y + 1, GREEN) > 0 ? 1 : 0;
    }
  }
  EXPECT_EQ(dots, n);
  EXPECT_TRUE(links > 0);
  EXPECT_EQ(strokes, links);
  int degrees = 0;
  int points = 0;
  for (int k = 1; k <= n; ++k) {
    const double p = sim.degree_distribution[k];
    if (p > 0.0) {
      const int left = RoundHalfUp(412 + 37 * std::log(static_cast<double>(k)) - 2);
      const int top = RoundHalfUp(37 - 37 * std::log(p) - 2);
      points += c.Count(left, top, left + 3, top + 3, BLUE) > 0 ? 1 : 0;
      ++degrees;
    }
  }
  EXPECT_TRUE(degrees > 0);
  EXPECT_EQ(points, degrees);
  EXPECT_TRUE(c.Count(38, 382, 712, 607, RED) > 100);
  EXPECT_TRUE(c.Count(38, 382, 712, 607, BLUE) > 100);
}

TEST(MainWindow, ReferenceRunThroughTheWindowMatchesTheReferenceFiles) {
  const std::string reference = DataDir() + "/golden/sw50/";
  const std::string initial = ReadFile(reference + "Veldaris_Result_Initial.csv");
  const std::string all = ReadFile(reference + "Veldaris_Result_All.csv");
  ASSERT_TRUE(!initial.empty() && !all.empty());
  const TempCurrentDir dir;
  ASSERT_TRUE(!dir.Path().empty());
  const MainWindow window;
  ASSERT_TRUE(RunReferenceCase(window));
  EXPECT_TRUE(ModalsAsExpected());
  EXPECT_EQ(window.Sim().generation, 1001);
  EXPECT_TRUE(IsWindowEnabled(window.Handle()));

  const Capture c = CaptureWindow(window.Handle());
  ASSERT_TRUE(c.width > 712 && c.height > 657);
  EXPECT_TRUE(c.Count(187, 15, 191, 19, RED) > 0);  // group 1 at the top of the circle
  CheckPicture(c, window.Sim());

  // Both result files, in the current directory, byte for byte.
  EXPECT_TRUE(ReadFile(dir.Path() + "\\Veldaris_Result_Initial.csv") == initial);
  EXPECT_TRUE(ReadFile(dir.Path() + "\\Veldaris_Result_All.csv") == all);
}

TEST(MainWindow, AResultFileThatCannotBeWrittenIsReportedAfterTheRun) {
  MainWindow window;
  ASSERT_TRUE(SetResultDirectory(window.State().result_files, "Z:\\nonexistent-veldaris-directory\\results"));
  ASSERT_TRUE(SetParameters(window, {}, "0.1"));
  window.Command(ui::CMD_BUILD_NETWORK);
  window.Command(ui::CMD_EXECUTE_SIMULATION);
  ASSERT_TRUE(window.State().running);
  SendMessageA(window.Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(window.Handle()));  // no closing while the run goes on
  MessageBoxSeen seen;
  ExpectModal(AnswerMessageBox(seen));
  ASSERT_TRUE(PumpUntil([&] { return seen.opened; }));
  EXPECT_TRUE(seen.text.starts_with("Could not write the result file"));
  EXPECT_EQ(seen.title, std::string("Error!"));
  EXPECT_TRUE(seen.owner == window.Handle());
  EXPECT_TRUE(ModalsAsExpected());
}

// Every pen, brush and font the canvas created is deleted, and the surface
// has its own objects selected again.
TEST(MainWindow, CanvasRestoresTheSurfaceAndDeletesItsObjects) {
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_TRUE(dc != nullptr);
  const UINT kinds[] = {OBJ_PEN, OBJ_BRUSH, OBJ_FONT};
  std::vector<HGDIOBJ> originals;
  for (const UINT kind : kinds) {
    originals.push_back(GetCurrentObject(dc, kind));
  }
  std::vector<HGDIOBJ> created;
  {
    ui::win32::GdiCanvas canvas(dc);
    canvas.SelectPen(RED, 1);
    created.push_back(GetCurrentObject(dc, OBJ_PEN));
    canvas.SelectPen(BLUE, 2);  // replaces the red pen
    canvas.SelectBrush(GREEN);
    canvas.SelectFont();
    for (const UINT kind : kinds) {
      created.push_back(GetCurrentObject(dc, kind));
    }
  }
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_TRUE(GetCurrentObject(dc, kinds[i]) == originals[i]);
  }
  for (HGDIOBJ object : created) {
    EXPECT_EQ(GetObjectType(object), DWORD{0});  // deleted
  }
  DeleteDC(dc);
}

}  // namespace
}  // namespace veldaris::win32_test
