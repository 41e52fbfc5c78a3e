// The dialog's log: the last twelve lines, six of them visible from LogTop,
// and the rules of its scroll bar, which appears with the seventh line.
#pragma once

#include <deque>
#include <string>

namespace exqrv::dialog {

enum class ScrollCode {
  LineUp,
  LineDown,
  PageUp,
  PageDown,
  ThumbPosition,  // the thumb was released at a position
  ThumbTrack,     // the thumb is being dragged
  Top,
  Bottom,
  EndScroll,
};

// What the log's scroll bar shows. It starts hidden with an empty range.
struct LogScrollState {
  bool visible = false;
  int minimum = 0;
  int maximum = 0;
  int position = 0;
};

class DialogLog {
 public:
  static constexpr size_t kMaxLines = 12;
  static constexpr int kVisibleLines = 6;
  static constexpr int kLinesPerPage = 3;
  // The range stays 0 to 6 however many lines are held.
  static constexpr int kScrollMaximum = 6;

  // Appends a line, dropping the oldest beyond twelve, and scrolls to the end.
  void AddLogLine(std::string line);
  // Returns true when the visible lines must be shown again.
  bool OnLogScroll(ScrollCode code, int thumbPosition);

  // The text of visible field k (0 to 5); empty where no line exists.
  std::string VisibleLine(int k) const;

  const std::deque<std::string>& LogLines() const { return lines_; }
  int LogTop() const { return logTop_; }
  const LogScrollState& ScrollBar() const { return scrollBar_; }

 private:
  std::deque<std::string> lines_;
  int logTop_ = 0;
  LogScrollState scrollBar_;
};

}  // namespace exqrv::dialog
