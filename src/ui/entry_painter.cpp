#include "ui/entry_painter.h"

#include <algorithm>

#include "ui/display_text.h"
#include "ui/entry_pictures.h"

namespace exqrv::ui {
namespace {

// The name's top-left corner is at (left of the text part, top of the item);
// the text is drawn on its own ground, as a text cell, unless the ground is
// transparent (what lies below shows through).
void DrawName(QPainter& painter, const QRect& textPart, int itemTop, const QString& name,
              const QColor& text, const QColor& ground) {
  painter.setBackgroundMode(ground.alpha() == 0 ? Qt::TransparentMode : Qt::OpaqueMode);
  painter.setBackground(ground);
  painter.setPen(text);
  painter.drawText(QPoint(textPart.left(), itemTop + painter.fontMetrics().ascent()), name);
}

// AND with the ground: the picture's white pixels leave the ground as it is.
void DrawPicture(QPainter& painter, const QImage& picture, QPoint at) {
  if (picture.isNull()) return;
  painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
  painter.drawImage(at, picture);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// A dotted frame drawn by inversion: every other pixel of the border, so a
// second drawing removes it.
void DrawFocusFrame(QPainter& painter, const QRect& frame) {
  if (frame.isEmpty()) return;
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  const auto dot = [&painter](int x, int y) {
    if ((x + y) % 2 == 0) painter.fillRect(x, y, 1, 1, Qt::white);
  };
  for (int x = frame.left(); x <= frame.right(); ++x) {
    dot(x, frame.top());
    if (frame.bottom() != frame.top()) dot(x, frame.bottom());
  }
  for (int y = frame.top() + 1; y < frame.bottom(); ++y) {
    dot(frame.left(), y);
    if (frame.right() != frame.left()) dot(frame.right(), y);
  }
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void DrawFrame(QPainter& painter, const QRect& frame, const QColor& colour) {
  if (frame.isEmpty()) return;
  painter.setPen(colour);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(frame.adjusted(0, 0, -1, -1));
}

// One item's drawing operations with a painter, for the shared painting
// steps.
class PainterCanvas : public dialog::ItemCanvas {
 public:
  PainterCanvas(QPainter& painter, const QRect& textPart, int itemTop, const QString& name,
                const QImage& picture, QPoint pictureAt, const ItemColours& colours)
      : painter_(painter),
        textPart_(textPart),
        itemTop_(itemTop),
        name_(name),
        picture_(picture),
        pictureAt_(pictureAt),
        colours_(colours) {}

  void DrawName(dialog::Ground ground) override {
    ui::DrawName(painter_, textPart_, itemTop_, name_, TextColour(ground), GroundColour(ground));
  }
  void DrawPicture() override { ui::DrawPicture(painter_, picture_, pictureAt_); }
  void FillTextPart(dialog::Ground ground) override {
    painter_.fillRect(textPart_, GroundColour(ground));
  }
  void FrameTextPart(dialog::Ground ground) override {
    DrawFrame(painter_, textPart_, GroundColour(ground));
  }
  void DrawFocusFrame() override { ui::DrawFocusFrame(painter_, textPart_); }

 private:
  const QColor& TextColour(dialog::Ground ground) const {
    return ground == dialog::Ground::Selection ? colours_.selectionText : colours_.plainText;
  }
  const QColor& GroundColour(dialog::Ground ground) const {
    return ground == dialog::Ground::Selection ? colours_.selectionBackground
                                               : colours_.plainBackground;
  }

  QPainter& painter_;
  const QRect& textPart_;
  int itemTop_;
  const QString& name_;
  const QImage& picture_;
  QPoint pictureAt_;
  const ItemColours& colours_;
};

}  // namespace

ItemColours ItemColoursFrom(const QPalette& palette) {
  return {kActiveCaptionColor, palette.color(QPalette::HighlightedText),
          palette.color(QPalette::Base), palette.color(QPalette::Text)};
}

void PaintEntryItem(QPainter& painter, const EntryList& entries, dialog::ItemKind kind,
                    const ItemPaintRequest& request, const ItemColours& colours) {
  const ListEntry* entry = dialog::EntryAt(entries, request.index);
  if (entry == nullptr) return;

  const QRect& item = request.rect;
  const int pictureOffset = dialog::PictureOffset(item.height());
  const int indent = dialog::ItemIndent(kind, *entry, request.state.inSelectionField);
  const QRect textPart = item.adjusted(indent + dialog::kNameOffset, 0, 0, 0);
  const QPoint pictureAt(item.left() + indent, item.top() + pictureOffset);
  const QString name = DisplayText(entry->Name);
  // Each paint loads its picture and lets it go when done.
  const QImage picture = LoadEntryPicture(entry->Picture);

  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  // A drive's picture may start one pixel left of the item.
  painter.setClipRect(item.adjusted(std::min(indent, 0), 0, 0, 0));
  PainterCanvas canvas(painter, textPart, item.top(), name, picture, pictureAt, colours);
  dialog::PaintItem(canvas, kind, request.state);
  painter.restore();
}

int EntryItemHeight(const QFontMetrics& metrics) {
  return dialog::EntryItemHeight(metrics.height());
}

void EntryItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  ItemPaintRequest request;
  request.index = index.row();
  request.state.selected = option.state.testFlag(QStyle::State_Selected);
  request.state.focused = option.state.testFlag(QStyle::State_HasFocus);
  request.rect = option.rect;
  const ItemColours colours = ItemColoursFrom(option.palette);

  painter->save();
  painter->setFont(option.font);
  PaintEntryItem(*painter, entries_, kind_, request, colours);
  if (request.state.focused) {
    request.state.action = dialog::PaintAction::FocusChange;
    PaintEntryItem(*painter, entries_, kind_, request, colours);
  }
  painter->restore();
}

QSize EntryItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
  const QFontMetrics metrics(option.font);
  const ListEntry* entry = dialog::EntryAt(entries_, index.row());
  const int indent = entry != nullptr ? dialog::ItemIndent(kind_, *entry, false) : 0;
  const int width = indent + dialog::kNameOffset +
                    metrics.horizontalAdvance(index.data(Qt::DisplayRole).toString());
  return {width, EntryItemHeight(metrics)};
}

}  // namespace exqrv::ui
