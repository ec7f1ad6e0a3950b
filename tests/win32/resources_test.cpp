// The compiled resources against the layout the neutral layer gives: the
// controls of dialogs 107 and 108 in creation order, and the commands of menu
// 101.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/win32/test_support.h"
#include "ui/parameter_dialog.h"
#include "ui/run_control.h"

namespace veldaris::win32_test {
namespace {

// Reads an extended dialog template (DLGTEMPLATEEX and its items) word by word.
class TemplateReader {
 public:
  explicit TemplateReader(const BYTE* data) : data_(data) {}
  DWORD Read(size_t bytes) {
    DWORD value = 0;
    std::memcpy(&value, data_ + offset_, bytes);
    offset_ += bytes;
    return value;
  }
  int Short() { return static_cast<short>(Read(2)); }
  // A string of UTF-16 units (ASCII here), or 0xFFFF and an ordinal, which
  // is returned as "#ordinal".
  std::string String() {
    DWORD unit = Read(2);
    if (unit == 0xFFFF) {
      return std::to_string(Read(2)).insert(0, 1, '#');
    }
    std::string text;
    for (; unit != 0; unit = Read(2)) {
      text += static_cast<char>(unit);
    }
    return text;
  }
  void AlignDword() { offset_ = (offset_ + 3) & ~size_t{3}; }
  void Skip(size_t bytes) { offset_ += bytes; }

 private:
  const BYTE* data_;
  size_t offset_ = 0;
};

// The window class the resource compiler gives each kind of control.
std::string ClassOf(ui::ControlKind kind) {
  switch (kind) {
    case ui::ControlKind::Edit:
      return "#129";
    case ui::ControlKind::Static:
      return "#130";
    default:
      return "#128";  // the button class, group boxes and radio buttons included
  }
}

void CheckDialogAgainstTemplate(int id, const ui::DialogTemplate& expected) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
  ASSERT_TRUE(found != nullptr);
  TemplateReader r(static_cast<const BYTE*>(LockResource(LoadResource(module, found))));
  ASSERT_TRUE(r.Read(2) == 1 && r.Read(2) == 0xFFFF);  // version 1 of the extended template
  r.Skip(12);                                          // help id, extended style, style
  const int count = static_cast<int>(r.Read(2));
  r.Skip(4);  // x, y
  EXPECT_EQ(r.Short(), expected.width);
  EXPECT_EQ(r.Short(), expected.height);
  r.String();  // menu
  r.String();  // class
  EXPECT_EQ(r.String(), std::string(expected.title));
  r.Skip(6);   // points, weight, italic, character set
  r.String();  // font face
  ASSERT_TRUE(count == expected.control_count);
  for (int i = 0; i < count; ++i) {
    const ui::DialogControl& want = expected.controls[i];
    r.AlignDword();
    r.Skip(12);  // help id, extended style, style
    const int x = r.Short();
    const int y = r.Short();
    const int width = r.Short();
    const int height = r.Short();
    const int control_id = static_cast<int>(r.Read(4));
    EXPECT_EQ(control_id, want.id);
    EXPECT_EQ(r.String(), ClassOf(want.kind));
    EXPECT_EQ(r.String(), std::string(want.text));
    EXPECT_TRUE(x == want.x && y == want.y && width == want.width && height == want.height);
    r.Skip(r.Read(2));  // creation data
  }
}

TEST(Resources, DialogResourcesMatchTheLayout) {
  CheckDialogAgainstTemplate(ui::PARAMETERS_DIALOG_ID, ui::ParametersDialogTemplate());
  CheckDialogAgainstTemplate(ui::VERSION_DIALOG_ID, ui::VersionDialogTemplate());
}

// The menu bar flattened in order, each popup's title (as id 0) then its
// items, against the menus the neutral layer gives.
TEST(Resources, MenuResourceMatchesTheMenus) {
  std::vector<std::pair<std::string, int>> expected;
  for (const ui::MenuDefinition& menu : ui::MAIN_MENUS) {
    expected.emplace_back(menu.title, 0);
    for (int i = 0; i < menu.command_count; ++i) {
      expected.emplace_back(menu.commands[i].text, menu.commands[i].id);
    }
  }
  const MainWindow window;  // the menu as the window class loads it
  HMENU bar = GetMenu(window.Handle());
  std::vector<std::pair<std::string, int>> found;
  char text[256];
  for (int p = 0; p < GetMenuItemCount(bar); ++p) {
    GetMenuStringA(bar, static_cast<UINT>(p), text, sizeof text, MF_BYPOSITION);
    found.emplace_back(text, 0);
    HMENU popup = GetSubMenu(bar, p);
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
      GetMenuStringA(popup, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
      found.emplace_back(text, static_cast<int>(GetMenuItemID(popup, i)));
    }
  }
  EXPECT_TRUE(found == expected);
}

}  // namespace
}  // namespace veldaris::win32_test
