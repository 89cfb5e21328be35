#include "platform/spss/outputdoc/SvgElement.h"

#include <cctype>
#include <string>
#include <vector>

namespace korvana::spss {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Names as XML allows them, with every byte above ASCII taken as a name
// character.
bool isNameStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || u >= 0x80;
}
bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  bool element() {
    std::vector<std::string_view> open;
    std::string_view root;
    if (!startTag(open, &root) || root != "svg") return false;
    while (!open.empty()) {
      if (at_ >= text_.size()) return false;
      const char c = text_[at_];
      if (c == '&') {
        if (!reference()) return false;
      } else if (c != '<') {
        ++at_;
      } else if (skipOver("<!--", "-->") || skipOver("<![CDATA[", "]]>") || skipOver("<?", "?>")) {
        if (failed_) return false;
      } else if (text_.substr(at_, 2) == "</") {
        at_ += 2;
        if (name() != open.back()) return false;
        skipSpace();
        if (!take('>')) return false;
        open.pop_back();
      } else if (!startTag(open)) {
        return false;
      }
    }
    return at_ == text_.size();
  }

 private:
  // Reads "<name attr="value" ...>" or "/>"; an element left open is pushed.
  bool startTag(std::vector<std::string_view>& open, std::string_view* tagName = nullptr) {
    if (!take('<')) return false;
    const std::string_view tag = name();
    if (tag.empty()) return false;
    if (tagName) *tagName = tag;
    for (;;) {
      const bool spaced = skipSpace();
      if (take('>')) {
        open.push_back(tag);
        return true;
      }
      if (text_.substr(at_, 2) == "/>") {
        at_ += 2;
        return true;
      }
      if (!spaced || name().empty()) return false;
      skipSpace();
      if (!take('=')) return false;
      skipSpace();
      if (at_ >= text_.size() || (text_[at_] != '"' && text_[at_] != '\'')) return false;
      const char quote = text_[at_++];
      while (at_ < text_.size() && text_[at_] != quote) {
        if (text_[at_] == '<') return false;
        if (text_[at_] == '&') {
          if (!reference()) return false;
        } else {
          ++at_;
        }
      }
      if (!take(quote)) return false;
    }
  }

  // "&name;", "&#digits;" or "&#xhex;".
  bool reference() {
    ++at_;
    std::size_t digits = 0;
    if (take('#')) {
      const bool hex = take('x');
      while (at_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[at_])) &&
             (hex || std::isdigit(static_cast<unsigned char>(text_[at_])))) {
        ++at_;
        ++digits;
      }
    } else {
      digits = name().size();
    }
    return digits > 0 && take(';');
  }

  // Skips a construct from `open` to `close` when it starts here; failed_ is
  // set when it never closes.
  bool skipOver(std::string_view open, std::string_view close) {
    if (text_.substr(at_, open.size()) != open) return false;
    const std::size_t end = text_.find(close, at_ + open.size());
    if (end == std::string_view::npos) {
      failed_ = true;
    } else {
      at_ = end + close.size();
    }
    return true;
  }

  std::string_view name() {
    const std::size_t begin = at_;
    if (at_ < text_.size() && isNameStart(text_[at_])) {
      ++at_;
      while (at_ < text_.size() && isNameChar(text_[at_])) ++at_;
    }
    return text_.substr(begin, at_ - begin);
  }

  bool skipSpace() {
    const std::size_t begin = at_;
    while (at_ < text_.size() && isSpace(text_[at_])) ++at_;
    return at_ > begin;
  }

  bool take(char c) {
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  std::string_view text_;
  std::size_t at_ = 0;
  bool failed_ = false;
};

}  // namespace

bool isSvgElement(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isSpace(text[begin])) ++begin;
  while (end > begin && isSpace(text[end - 1])) --end;
  return Scanner(text.substr(begin, end - begin)).element();
}

}  // namespace korvana::spss
