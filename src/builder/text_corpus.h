// English-like text made deterministically: words drawn with a skewed
// distribution from a fixed vocabulary, with punctuation and line breaks, so
// that it compresses roughly as prose does.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace exqrv::build {

inline std::vector<uint8_t> MakeTextCorpus(size_t size, uint32_t seed = 1) {
  static constexpr std::string_view kWords[] = {
      "the",        "of",         "and",        "to",       "a",         "in",      "that",
      "is",         "was",        "he",         "for",      "it",        "with",    "as",
      "his",        "on",         "be",         "at",       "by",        "had",     "not",
      "are",        "but",        "from",       "or",       "have",      "an",      "they",
      "which",      "one",        "you",        "were",     "her",       "all",     "she",
      "there",      "would",      "their",      "we",       "him",       "been",    "has",
      "when",       "who",        "will",       "more",     "no",        "if",      "out",
      "so",         "river",      "letter",     "morning",  "garden",    "window",  "quietly",
      "remembered", "harbour",    "kitchen",    "journey",  "whispered", "lantern", "evening",
      "mountain",   "village",    "summer",     "because",  "between",   "through", "nothing",
      "another",    "children",   "question",   "answer",   "recipe",    "flour",   "butter",
      "carefully",  "afterwards", "understand", "document", "page"};
  constexpr size_t kWordCount = sizeof kWords / sizeof kWords[0];
  std::vector<uint8_t> text;
  text.reserve(size + 16);
  uint32_t state = seed * 2654435761u + 12345u;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  bool capital = true;
  while (text.size() < size) {
    // Multiplying two uniform picks favours the first, common words.
    const size_t word = (next() % kWordCount) * (next() % kWordCount) / kWordCount;
    for (size_t i = 0; i < kWords[word].size(); ++i) {
      const char c = kWords[word][i];
      text.push_back(static_cast<uint8_t>(capital && i == 0 ? c - 'a' + 'A' : c));
    }
    capital = false;
    const uint32_t mark = next() % 100;
    if (mark < 6) {
      text.push_back('.');
      capital = true;
    } else if (mark < 10) {
      text.push_back(',');
    }
    text.push_back(mark == 0 ? '\n' : ' ');
  }
  text.resize(size);
  return text;
}

}  // namespace exqrv::build
