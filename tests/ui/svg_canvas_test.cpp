// The SVG picture: well-formed, one element per drawing call, written atomically.
#include <map>

#include "ui_test_support.h"

namespace veldaris::ui::testing {
namespace {

using UiSvg = UiTest;

// Elements by name; fails the test when the tags do not nest.
std::map<std::string, int> CountElements(const std::string& doc) {
  std::map<std::string, int> counts;
  std::vector<std::string> open;
  for (size_t pos = doc.find("?>") + 2, lt; (lt = doc.find('<', pos)) != std::string::npos;) {
    const size_t gt = doc.find('>', lt);
    EXPECT_LT(gt, doc.find('<', lt + 1)) << "unterminated tag at " << lt;
    const std::string tag = doc.substr(lt + 1, gt - lt - 1);
    if (tag[0] == '/') {
      EXPECT_TRUE(!open.empty() && open.back() == tag.substr(1)) << "unbalanced " << tag;
      if (!open.empty()) open.pop_back();
    } else {
      const std::string name = tag.substr(0, tag.find_first_of(" />"));
      ++counts[name];
      if (tag.back() != '/') open.push_back(name);
    }
    pos = gt + 1;
  }
  EXPECT_TRUE(open.empty());
  return counts;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(UiSvg, PictureHasOneElementPerDrawingCall) {
  ASSERT_TRUE(SetParameters({}, "0.1").close);
  OnCommand(window, CMD_BUILD_NETWORK);
  OnCommand(window, CMD_EXECUTE_SIMULATION);
  RunUntilFinished();
  RecordingCanvas recorded;
  PaintWindow(recorded, sim);
  const std::string doc = PictureSvg(sim);
  std::map<std::string, int> counts = CountElements(doc);
  EXPECT_EQ(counts["svg"], 1);
  EXPECT_EQ(counts["line"], 400 + 58 + 16 + 2 * 999);
  EXPECT_EQ(counts["ellipse"], static_cast<int>(recorded.Calls(CanvasCallKind::Ellipse).size()));
  EXPECT_GT(counts["ellipse"], 50);  // the dots and the P(k) points
  EXPECT_EQ(counts["text"], static_cast<int>(recorded.Calls(CanvasCallKind::TextOut).size()));
  EXPECT_EQ(counts["rect"], counts["text"] + 1);  // text backgrounds and the page
  for (const char* part :
       {"viewBox=\"0 0 760 720\"", "IPAGothic, monospace\" font-size=\"14px\"",
        "<text x=\"702\" y=\"623\" fill=\"#000000\" xml:space=\"preserve\">1000</text>",  // top-left at (702, 611)
        "<line x1=\"37\" y1=\"607.5\" x2=\"712\" y2=\"607.5\" stroke=\"#000000\" stroke-width=\"1\"/>",
        "stroke=\"#ff0000\" stroke-width=\"2\" stroke-linecap=\"round\""}) {
    EXPECT_NE(doc.find(part), std::string::npos) << part;
  }

  SvgCanvas c;
  c.TextOut(1, 2, "a<b & 'c' \"d\">\x01");
  EXPECT_NE(c.Document().find(">a&lt;b &amp; &apos;c&apos; &quot;d&quot;&gt;?</text>"), std::string::npos);
  EXPECT_EQ(CountElements(c.Document())["text"], 1);
}

// Whatever bytes a text holds, the document stays well-formed UTF-8 that XML
// can hold: every byte that starts no valid sequence becomes U+FFFD.
TEST(UiSvgText, InvalidUtf8BecomesReplacementCharacters) {
  const std::string r = "\xEF\xBF\xBD";
  const std::pair<std::string, std::string> cases[] = {
      {"\xEF\xBC\xAD\xF0\x9F\x98\x80", "\xEF\xBC\xAD\xF0\x9F\x98\x80"},  // valid 3- and 4-byte characters
      {"a\x80"
       "b",
       "a" + r + "b"},                              // a stray continuation byte
      {"\xE3\x82", r + r},                          // truncated at the end
      {"\xC0\xAF\xE0\x80\xAF", r + r + r + r + r},  // overlong forms
      {"\xED\xA0\x80", r + r + r},                  // a surrogate
      {"\xF4\x90\x80\x80\xF5", r + r + r + r + r},  // beyond U+10FFFF
      {"\xEF\xBF\xBE<", r + r + r + "&lt;"},        // U+FFFE, then markup
  };
  for (const auto& [text, escaped] : cases) EXPECT_EQ(EscapeXml(text), escaped);
}

TEST_F(UiSvg, WriteReplacesAtomicallyAndKeepsOldFilesOnFailure) {
  const std::filesystem::path target = dir_ / "picture.svg";
  std::ofstream(target) << "old";
  std::string error;
  ASSERT_TRUE(WritePictureSvg(sim, target.string(), &error)) << error;
  EXPECT_EQ(ReadFile(target), PictureSvg(sim));

  // The rename fails (the target is a non-empty directory): the directory
  // stays as it was and no temporary file is left behind.
  const std::filesystem::path busy = dir_ / "busy.svg";
  std::filesystem::create_directory(busy);
  std::ofstream(busy / "inside") << "x";
  EXPECT_FALSE(WritePictureSvg(sim, busy.string(), &error));
  EXPECT_EQ(error.rfind(busy.string() + ": ", 0), 0u) << error;
  EXPECT_EQ(ReadFile(busy / "inside"), "x");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), std::filesystem::directory_iterator()), 2);
}

}  // namespace
}  // namespace veldaris::ui::testing
