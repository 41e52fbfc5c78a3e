// Text in one of the system's code pages, turned into UTF-8 piece by piece:
// a character cut between two pieces waits for the next, and a byte the code
// page does not define becomes U+FFFD. POSIX converts through iconv; Windows
// through its own code pages.
#pragma once

#include <string>
#include <string_view>

namespace exqrv::platform {

class CodePageDecoder {
 public:
  // codePage: a name such as "CP1252" (on Windows also its number, "1252");
  // empty: the bytes pass unchanged.
  explicit CodePageDecoder(const std::string& codePage);
  ~CodePageDecoder();
  CodePageDecoder(const CodePageDecoder&) = delete;
  CodePageDecoder& operator=(const CodePageDecoder&) = delete;

  // Whether the code page is one the system can convert.
  bool Known() const;
  void Convert(std::string_view bytes, std::string& out);
  // The end of the text: a character still cut short becomes U+FFFD.
  void Finish(std::string& out);

 private:
#ifdef _WIN32
  unsigned codePage_ = 0;  // the code page's number; 0: none
#else
  void* converter_ = nullptr;  // iconv_t
#endif
  std::string pending_;
};

// Where to find which code pages the system knows, for a usage message.
extern const char kCodePageListHint[];

}  // namespace exqrv::platform
