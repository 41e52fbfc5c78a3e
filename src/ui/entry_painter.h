// The painting of one item of a file list or a directory selector: a 16 x 16
// picture combined with the ground by AND, followed by the entry's name.
// Both kinds of control paint through PaintEntryItem, which takes the shared
// painting steps with a QPainter.
#pragma once

#include <QColor>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QRect>
#include <QStyledItemDelegate>

#include "app/list_entry.h"
#include "dialog/entry_painting.h"

namespace exqrv::ui {

// The selection ground is the colour of an active window's caption bar, which
// Qt's palette does not carry.
inline constexpr QColor kActiveCaptionColor{0x00, 0x00, 0x80};

struct ItemPaintRequest {
  int index = -1;
  dialog::ItemState state;
  QRect rect;
};

struct ItemColours {
  QColor selectionBackground;
  QColor selectionText;
  QColor plainBackground;
  QColor plainText;
};

ItemColours ItemColoursFrom(const QPalette& palette);

void PaintEntryItem(QPainter& painter, const EntryList& entries, dialog::ItemKind kind,
                    const ItemPaintRequest& request, const ItemColours& colours);

// Item height of both kinds of control: a line of the font, but never less
// than a picture.
int EntryItemHeight(const QFontMetrics& metrics);

// The item delegate of the file lists and of the selectors' dropped lists. A
// Qt view repaints whole items, so a paint is a whole-item paint followed,
// for the item with the focus, by a focus paint.
class EntryItemDelegate : public QStyledItemDelegate {
 public:
  EntryItemDelegate(const EntryList& entries, dialog::ItemKind kind, QObject* parent)
      : QStyledItemDelegate(parent), entries_(entries), kind_(kind) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  const EntryList& entries_;
  dialog::ItemKind kind_;
};

}  // namespace exqrv::ui
