#include "dialog/dialog_log.h"

#include <algorithm>

namespace exqrv::dialog {

void DialogLog::AddLogLine(std::string line) {
  if (lines_.size() == kMaxLines) lines_.pop_front();
  lines_.push_back(std::move(line));

  const int count = static_cast<int>(lines_.size());
  if (count <= kVisibleLines) return;
  logTop_ = count - kVisibleLines;
  // The count never falls, so the seventh line arrives once per dialog.
  if (count == kVisibleLines + 1) {
    scrollBar_.minimum = 0;
    scrollBar_.maximum = kScrollMaximum;
    scrollBar_.visible = true;
  }
  scrollBar_.position = logTop_;
}

bool DialogLog::OnLogScroll(ScrollCode code, int thumbPosition) {
  const int minimum = scrollBar_.minimum;
  const int maximum = scrollBar_.maximum;
  switch (code) {
    case ScrollCode::LineUp: logTop_ = std::max(logTop_ - 1, minimum); break;
    case ScrollCode::LineDown: logTop_ = std::min(logTop_ + 1, maximum); break;
    case ScrollCode::PageUp: logTop_ = std::max(logTop_ - kLinesPerPage, minimum); break;
    case ScrollCode::PageDown: logTop_ = std::min(logTop_ + kLinesPerPage, maximum); break;
    case ScrollCode::ThumbPosition: logTop_ = thumbPosition; break;
    case ScrollCode::ThumbTrack:
    case ScrollCode::Top:
    case ScrollCode::Bottom: break;
    case ScrollCode::EndScroll:
      // The visible lines follow LogTop only once a scroll action ends.
      if (scrollBar_.position != logTop_) {
        scrollBar_.position = logTop_;
        return true;
      }
      break;
  }
  return false;
}

std::string DialogLog::VisibleLine(int k) const {
  const int index = logTop_ + k;
  if (index < 0 || index >= static_cast<int>(lines_.size())) return {};
  return lines_[static_cast<size_t>(index)];
}

}  // namespace exqrv::dialog
