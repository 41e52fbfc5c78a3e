#include "ui/directory_combo_box.h"

#include <algorithm>

#include <QProxyStyle>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QWheelEvent>

#include "ui/display_text.h"
#include "ui/entry_painter.h"

namespace exqrv::ui {
namespace {

// Drops the list below the field, into the room the template leaves for it,
// where some styles would open it over the field and the label above.
class DropDownStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_ComboBox_Popup) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

}  // namespace

DirectoryComboBox::DirectoryComboBox(ConverterApp& app, Side side, QWidget* parent)
    : QComboBox(parent),
      side_(side),
      entries_(side == DocumentSide ? app.DocumentDirectoryList : app.TextDirectoryList) {
  setEditable(false);
  auto* dropDown = new DropDownStyle;
  dropDown->setParent(this);  // the widget does not own its style
  setStyle(dropDown);
  setItemDelegate(new EntryItemDelegate(entries_, dialog::ItemKind::Selector, this));
  setFocusPolicy(Qt::StrongFocus);
}

std::vector<std::string> DirectoryComboBox::ItemNames() const {
  std::vector<std::string> names;
  const size_t shown = std::min(static_cast<size_t>(count()), entries_.size());
  names.reserve(shown);
  for (size_t i = 0; i < shown; ++i) names.push_back(entries_[i]->Name);
  return names;
}

void DirectoryComboBox::ShowNames() {
  clear();
  for (const auto& entry : entries_) addItem(DisplayText(entry->Name));
}

void DirectoryComboBox::wheelEvent(QWheelEvent* event) {
  if (!hasFocus()) {
    event->ignore();
    return;
  }
  QComboBox::wheelEvent(event);
}

void DirectoryComboBox::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  option.currentText.clear();
  option.currentIcon = QIcon();
  painter.drawComplexControl(QStyle::CC_ComboBox, option);

  const QRect field =
      style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  const int itemHeight = EntryItemHeight(fontMetrics());
  ItemPaintRequest request;
  request.index = currentIndex();
  request.state.inSelectionField = true;
  // The field looks selected while the selector has the focus.
  request.state.selected = hasFocus();
  request.state.focused = hasFocus();
  request.rect = QRect(field.left(), field.top() + (field.height() - itemHeight) / 2, field.width(),
                       itemHeight);
  // The field has a ground of its own, drawn above with the control: the
  // name stands on it, not on a box of the list's window colour.
  ItemColours colours = ItemColoursFrom(palette());
  colours.plainBackground = Qt::transparent;
  PaintEntryItem(painter, entries_, dialog::ItemKind::Selector, request, colours);
}

}  // namespace exqrv::ui
