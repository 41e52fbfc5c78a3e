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

}  // namespace

ItemColours ItemColoursFrom(const QPalette& palette) {
  return {kActiveCaptionColor, palette.color(QPalette::HighlightedText),
          palette.color(QPalette::Base), palette.color(QPalette::Text)};
}

bool FocusRuleHolds(ItemKind kind, const ItemPaintRequest& request) {
  return FocusRuleHolds(kind, request.action, request.focused, request.selected,
                        request.inSelectionField);
}

void PaintEntryItem(QPainter& painter, const EntryList& entries, ItemKind kind,
                    const ItemPaintRequest& request, const ItemColours& colours) {
  const ListEntry* entry = EntryAt(entries, request.index);
  if (entry == nullptr) return;

  const QRect& item = request.rect;
  const int pictureOffset = PictureOffset(item.height());
  const int indent = ItemIndent(kind, *entry, request.inSelectionField);
  const QRect textPart = item.adjusted(indent + kNameOffset, 0, 0, 0);
  const QPoint pictureAt(item.left() + indent, item.top() + pictureOffset);
  const QString name = DisplayText(entry->Name);
  // Each paint loads its picture and lets it go when done.
  const QImage picture = LoadEntryPicture(entry->Picture);

  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  // A drive's picture may start one pixel left of the item.
  painter.setClipRect(item.adjusted(std::min(indent, 0), 0, 0, 0));
  const bool entire = request.action == PaintAction::DrawEntire;
  const bool selectionPaint = request.action == PaintAction::SelectionChange;

  if (entire) {
    DrawName(painter, textPart, item.top(), name, colours.plainText, colours.plainBackground);
    DrawPicture(painter, picture, pictureAt);
  }
  if (request.selected && (entire || selectionPaint)) {
    painter.fillRect(textPart, colours.selectionBackground);
    DrawName(painter, textPart, item.top(), name, colours.selectionText,
             colours.selectionBackground);
    DrawPicture(painter, picture, pictureAt);
  }
  if (FocusRuleHolds(kind, request)) {
    DrawFocusFrame(painter, textPart);
  } else {
    DrawFrame(painter, textPart,
              request.selected ? colours.selectionBackground : colours.plainBackground);
  }
  if (!request.selected && selectionPaint) {
    painter.fillRect(textPart, colours.plainBackground);
    DrawName(painter, textPart, item.top(), name, colours.plainText, colours.plainBackground);
    DrawPicture(painter, picture, pictureAt);
  }
  painter.restore();
}

int EntryItemHeight(const QFontMetrics& metrics) { return EntryItemHeight(metrics.height()); }

void EntryItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  ItemPaintRequest request;
  request.index = index.row();
  request.selected = option.state.testFlag(QStyle::State_Selected);
  request.focused = option.state.testFlag(QStyle::State_HasFocus);
  request.rect = option.rect;
  const ItemColours colours = ItemColoursFrom(option.palette);

  painter->save();
  painter->setFont(option.font);
  PaintEntryItem(*painter, entries_, kind_, request, colours);
  if (request.focused) {
    request.action = PaintAction::FocusChange;
    PaintEntryItem(*painter, entries_, kind_, request, colours);
  }
  painter->restore();
}

QSize EntryItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
  const QFontMetrics metrics(option.font);
  const ListEntry* entry = EntryAt(entries_, index.row());
  const int indent = entry != nullptr ? ItemIndent(kind_, *entry, false) : 0;
  const int width = indent + kNameOffset +
                    metrics.horizontalAdvance(index.data(Qt::DisplayRole).toString());
  return {width, EntryItemHeight(metrics)};
}

}  // namespace exqrv::ui
