// The steps of one item's paint, which both front ends take: what is drawn,
// on which ground, in which order.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dialog/entry_painting.h"

namespace exqrv::dialog {
namespace {

// Writes down each drawing operation: "name", "picture", "fill", "frame" with
// the ground (P plain, S selection), and "focus".
class RecordingCanvas : public ItemCanvas {
 public:
  void DrawName(Ground ground) override { steps.push_back("name" + Of(ground)); }
  void DrawPicture() override { steps.push_back("picture"); }
  void FillTextPart(Ground ground) override { steps.push_back("fill" + Of(ground)); }
  void FrameTextPart(Ground ground) override { steps.push_back("frame" + Of(ground)); }
  void DrawFocusFrame() override { steps.push_back("focus"); }

  std::vector<std::string> steps;

 private:
  static std::string Of(Ground ground) { return ground == Ground::Plain ? " P" : " S"; }
};

TEST(EntryPaintingTest, EachPaintTakesTheStepsOfItsActionInOrder) {
  using V = std::vector<std::string>;
  struct Case {
    const char* what;
    ItemKind kind;
    ItemState state;
    V steps;
  };
  constexpr auto kEntire = PaintAction::DrawEntire;
  constexpr auto kSelection = PaintAction::SelectionChange;
  constexpr auto kFocus = PaintAction::FocusChange;
  const Case cases[] = {
      {"whole plain item",
       ItemKind::FileList,
       {kEntire, false, false, false},
       V{"name P", "picture", "frame P"}},
      {"whole selected item",
       ItemKind::FileList,
       {kEntire, true, true, false},
       V{"name P", "picture", "fill S", "name S", "picture", "frame S"}},
      {"selection gained",
       ItemKind::FileList,
       {kSelection, true, false, false},
       V{"fill S", "name S", "picture", "frame S"}},
      {"selection lost",
       ItemKind::FileList,
       {kSelection, false, false, false},
       V{"frame P", "fill P", "name P", "picture"}},
      {"focus gained", ItemKind::FileList, {kFocus, true, true, false}, V{"focus"}},
      // The caret shows even where nothing is selected.
      {"focus gained, nothing selected",
       ItemKind::FileList,
       {kFocus, false, true, false},
       V{"focus"}},
      {"focus lost", ItemKind::FileList, {kFocus, true, false, false}, V{"frame S"}},
      {"closed selector with the focus",
       ItemKind::Selector,
       {kEntire, true, true, true},
       V{"name P", "picture", "fill S", "name S", "picture", "focus"}},
      {"dropped list, whole selected item",
       ItemKind::Selector,
       {kEntire, true, true, false},
       V{"name P", "picture", "fill S", "name S", "picture", "frame S"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingCanvas canvas;
    PaintItem(canvas, c.kind, c.state);
    EXPECT_EQ(canvas.steps, c.steps);
  }
}

}  // namespace
}  // namespace exqrv::dialog
