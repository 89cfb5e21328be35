#include "platform/spss/outputdoc/RtfDocument.h"

#include <cctype>
#include <cstdlib>

#include "common/Utf8.h"

namespace korvana::spss {

namespace {

// Code points of the bytes 0x80 to 0x9F in code page 1252 (0 where unassigned).
constexpr std::uint16_t cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

const std::string replacement = utf8::encode(utf8::replacementCharacter);

struct CharacterState {
  std::int32_t font = -1;
  std::int32_t halfPoints = 24;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  std::int32_t color = 0;
  std::int32_t unicodeSkip = 1;
};

enum class Destination { text, fontTable, fontEntry, colorTable, skip };

struct GroupState {
  CharacterState chars;
  Destination destination = Destination::text;
};

class Reader {
 public:
  explicit Reader(const std::string& rtf) : rtf_(rtf) {}

  std::optional<RtfDocument> read() {
    std::size_t start = 0;
    while (start < rtf_.size() && std::isspace(static_cast<unsigned char>(rtf_[start]))) ++start;
    if (rtf_.compare(start, 5, "{\\rtf") != 0) return std::nullopt;
    pos_ = start;
    stack_.push_back(GroupState{});
    bool closed = false;
    while (pos_ < rtf_.size()) {
      const char c = rtf_[pos_];
      if (c == '{') {
        ++pos_;
        stack_.push_back(stack_.back());
        continue;
      }
      if (c == '}') {
        ++pos_;
        endGroup();
        stack_.pop_back();
        if (stack_.size() == 1) {
          closed = true;
          break;
        }
        continue;
      }
      if (c == '\\') {
        controlWord();
        continue;
      }
      ++pos_;
      if (c == '\r' || c == '\n') continue;
      const auto byte = static_cast<unsigned char>(c);
      if (byte >= 0x80) {
        // Bytes beyond ASCII are UTF-8 text. Each maximal ill-formed subpart
        // is one U+FFFD, or one skipped character where it follows "\uN" (a
        // writer in code page 1252 puts its fallback there).
        const utf8::Decoded d = utf8::decode(rtf_, pos_ - 1);
        if (d.valid) {
          text(rtf_.substr(pos_ - 1, d.length), false);
        } else if (state().destination == Destination::text && skipChars_ > 0) {
          --skipChars_;
        } else {
          text(replacement, false);
        }
        pos_ += d.length - 1;
        continue;
      }
      character(byte);
    }
    if (!closed) return std::nullopt;
    while (pos_ < rtf_.size() && std::isspace(static_cast<unsigned char>(rtf_[pos_]))) ++pos_;
    if (pos_ != rtf_.size()) return std::nullopt;
    endLoneSurrogate();
    if (!paragraph_.runs.empty()) doc_.paragraphs.push_back(std::move(paragraph_));
    return std::move(doc_);
  }

 private:
  GroupState& state() { return stack_.back(); }

  void endGroup() {
    if (state().destination == Destination::fontEntry) finishFont();
  }

  void finishFont() {
    if (!fontEntryOpen_) return;
    while (!fontName_.empty() && (fontName_.back() == ';' || fontName_.back() == ' ')) fontName_.pop_back();
    font_.name = fontName_;
    doc_.fonts.push_back(font_);
    fontEntryOpen_ = false;
  }

  void controlWord() {
    ++pos_;  // the backslash
    if (pos_ >= rtf_.size()) return;
    const char c = rtf_[pos_];
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      ++pos_;
      switch (c) {
        case '\'': {
          if (pos_ + 2 <= rtf_.size() && std::isxdigit(static_cast<unsigned char>(rtf_[pos_])) &&
              std::isxdigit(static_cast<unsigned char>(rtf_[pos_ + 1]))) {
            const auto byte = static_cast<unsigned char>(std::strtoul(rtf_.substr(pos_, 2).c_str(), nullptr, 16));
            pos_ += 2;
            if (skipChars_ > 0) {
              --skipChars_;
              return;
            }
            character(byte);
          }
          return;
        }
        case '*':
          state().destination = Destination::skip;
          return;
        case '~': text("\xC2\xA0", false); return;
        case '_': text("\xE2\x80\x91", false); return;
        case '-': return;  // optional hyphen
        case '\r':
        case '\n': paragraphBreak(); return;
        default: character(static_cast<unsigned char>(c)); return;  // \\ \{ \}
      }
    }
    const std::size_t nameStart = pos_;
    while (pos_ < rtf_.size() && std::isalpha(static_cast<unsigned char>(rtf_[pos_]))) ++pos_;
    const std::string word = rtf_.substr(nameStart, pos_ - nameStart);
    bool hasParameter = false;
    long parameter = 0;
    const std::size_t numberStart = pos_;
    if (pos_ < rtf_.size() && (rtf_[pos_] == '-' || std::isdigit(static_cast<unsigned char>(rtf_[pos_])))) {
      ++pos_;
      while (pos_ < rtf_.size() && std::isdigit(static_cast<unsigned char>(rtf_[pos_]))) ++pos_;
      parameter = std::strtol(rtf_.substr(numberStart, pos_ - numberStart).c_str(), nullptr, 10);
      hasParameter = pos_ - numberStart > (rtf_[numberStart] == '-' ? 1u : 0u);
    }
    if (pos_ < rtf_.size() && rtf_[pos_] == ' ') ++pos_;  // the delimiter belongs to the word
    apply(word, hasParameter, static_cast<std::int32_t>(parameter));
  }

  void apply(const std::string& word, bool hasParameter, std::int32_t parameter) {
    GroupState& s = state();
    const bool on = !hasParameter || parameter != 0;
    if (word == "fonttbl") {
      s.destination = Destination::fontTable;
    } else if (word == "colortbl") {
      s.destination = Destination::colorTable;
      color_ = 0;
    } else if (word == "stylesheet" || word == "info" || word == "pict" || word == "header" || word == "footer" ||
               word == "object" || word == "listtable" || word == "listoverridetable") {
      s.destination = Destination::skip;
    } else if (s.destination == Destination::fontTable || s.destination == Destination::fontEntry) {
      fontTableWord(word, parameter);
    } else if (s.destination == Destination::colorTable) {
      if (word == "red") color_ = (color_ & 0x00FFFF) | (static_cast<std::uint32_t>(parameter & 0xFF) << 16);
      if (word == "green") color_ = (color_ & 0xFF00FF) | (static_cast<std::uint32_t>(parameter & 0xFF) << 8);
      if (word == "blue") color_ = (color_ & 0xFFFF00) | static_cast<std::uint32_t>(parameter & 0xFF);
    } else if (s.destination == Destination::skip) {
      // nothing in a skipped group has an effect
    } else if (word == "par") {
      paragraphBreak();
    } else if (word == "line") {
      paragraphBreak();
    } else if (word == "tab") {
      text("\t", false);
    } else if (word == "f") {
      s.chars.font = parameter;
    } else if (word == "fs") {
      if (hasParameter && parameter > 0) s.chars.halfPoints = parameter;
    } else if (word == "b") {
      s.chars.bold = on;
    } else if (word == "i") {
      s.chars.italic = on;
    } else if (word == "ul") {
      s.chars.underline = on;
    } else if (word == "ulnone") {
      s.chars.underline = false;
    } else if (word == "cf") {
      s.chars.color = parameter;
    } else if (word == "plain") {
      const std::int32_t skip = s.chars.unicodeSkip;
      s.chars = CharacterState{};
      s.chars.unicodeSkip = skip;
    } else if (word == "uc") {
      s.chars.unicodeSkip = parameter < 0 ? 0 : parameter;
    } else if (word == "u") {
      unicodeUnit(static_cast<std::uint32_t>(parameter < 0 ? parameter + 65536 : parameter));
      skipChars_ = s.chars.unicodeSkip;
    } else if (word == "emdash") {
      text("\xE2\x80\x94", false);
    } else if (word == "endash") {
      text("\xE2\x80\x93", false);
    } else if (word == "bullet") {
      text("\xE2\x80\xA2", false);
    } else if (word == "lquote") {
      text("\xE2\x80\x98", false);
    } else if (word == "rquote") {
      text("\xE2\x80\x99", false);
    }
    // Every other control word (\ansi, \pard, \viewkind, \deflang, ...) has
    // no effect on what is shown here.
  }

  void fontTableWord(const std::string& word, std::int32_t parameter) {
    if (word == "f") {
      finishFont();
      state().destination = Destination::fontEntry;
      font_ = RtfFont{};
      font_.number = parameter;
      fontName_.clear();
      fontEntryOpen_ = true;
    } else if (word.size() > 1 && word[0] == 'f' && word != "fcharset" && word != "fprq") {
      if (fontEntryOpen_) font_.family = word.substr(1);
    } else if (word == "fcharset") {
      if (fontEntryOpen_) font_.charset = parameter;
    } else if (word == "fprq") {
      if (fontEntryOpen_) font_.pitch = parameter;
    }
  }

  void character(unsigned char byte) {
    const Destination d = state().destination;
    if (d == Destination::fontEntry || d == Destination::fontTable) {
      if (fontEntryOpen_) fontName_ += static_cast<char>(byte);
      if (byte == ';') finishFont();
      return;
    }
    if (d == Destination::colorTable) {
      if (byte == ';') {
        doc_.colors.push_back(color_);
        color_ = 0;
      }
      return;
    }
    if (d != Destination::text) return;
    if (skipChars_ > 0) {
      --skipChars_;
      return;
    }
    const RtfFont* f = doc_.font(state().chars.font);
    if (f && f->markerFont() && byte >= 0x80) {
      if (const char* glyph = markerGlyph(byte)) {
        text(glyph, true);
        return;
      }
    }
    text(cp1252ToUtf8(byte), false);
  }

  // "\uN" carries a UTF-16 unit: a high surrogate waits for the low one
  // that follows it (after its fallback characters); either one alone is
  // U+FFFD.
  void unicodeUnit(std::uint32_t unit) {
    if (state().destination != Destination::text) return;
    if (highSurrogate_ && utf8::isLowSurrogate(unit)) {
      const std::uint32_t high = *highSurrogate_;
      highSurrogate_.reset();
      text(utf8::encode(utf8::fromSurrogatePair(high, unit)), false);
    } else if (utf8::isHighSurrogate(unit)) {
      endLoneSurrogate();
      highSurrogate_ = unit;
    } else {
      text(utf8::encode(unit), false);  // a lone low surrogate is U+FFFD
    }
  }

  // A high surrogate that no low one followed is U+FFFD.
  void endLoneSurrogate() {
    if (!highSurrogate_) return;
    highSurrogate_.reset();
    text(replacement, false);
  }

  void text(const std::string& characters, bool glyph) {
    if (state().destination != Destination::text) return;
    endLoneSurrogate();
    const CharacterState& c = state().chars;
    if (!paragraph_.runs.empty()) {
      RtfRun& last = paragraph_.runs.back();
      if (last.font == c.font && last.halfPoints == c.halfPoints && last.bold == c.bold && last.italic == c.italic &&
          last.underline == c.underline && last.color == c.color && last.glyphs == glyph) {
        last.text += characters;
        return;
      }
    }
    RtfRun run;
    run.text = characters;
    run.font = c.font;
    run.halfPoints = c.halfPoints;
    run.bold = c.bold;
    run.italic = c.italic;
    run.underline = c.underline;
    run.color = c.color;
    run.glyphs = glyph;
    paragraph_.runs.push_back(std::move(run));
  }

  void paragraphBreak() {
    if (state().destination != Destination::text) return;
    endLoneSurrogate();
    doc_.paragraphs.push_back(std::move(paragraph_));
    paragraph_ = RtfParagraph{};
  }

  const std::string& rtf_;
  std::size_t pos_ = 0;
  std::vector<GroupState> stack_;
  std::int32_t skipChars_ = 0;
  RtfDocument doc_;
  RtfParagraph paragraph_;
  RtfFont font_;
  std::string fontName_;
  bool fontEntryOpen_ = false;
  std::uint32_t color_ = 0;
  std::optional<std::uint32_t> highSurrogate_;
};

}  // namespace

std::string cp1252ToUtf8(unsigned char byte) {
  std::string out;
  if (byte >= 0x80 && byte <= 0x9F) {
    const std::uint16_t cp = cp1252High[byte - 0x80];
    utf8::append(out, cp == 0 ? utf8::replacementCharacter : cp);
  } else {
    utf8::append(out, byte);
  }
  return out;
}

const char* markerGlyph(unsigned char code) {
  switch (code) {
    case 0xF2: return "\u2500";  // horizontal line
    case 0xF3: return "\u2502";  // vertical line
    case 0xF4: return "\u253C";  // crossing
    case 0xF5: return "\u2514";  // up and right
    case 0xF6: return "\u250C";  // down and right
    case 0xF7: return "\u2518";  // arriving from the left, turning up
    case 0xF8: return "\u2510";  // arriving from the left, turning down
    case 0xF9: return "\u251C";  // vertical with a branch to the right
    case 0xFA: return "\u2524";  // vertical with a branch from the left
    case 0xFB: return "\u252C";  // horizontal with a branch down
    case 0xFC: return "\u2534";  // horizontal with a branch up
    default: return nullptr;
  }
}

std::optional<RtfDocument> RtfDocument::parse(const std::string& rtf) { return Reader(rtf).read(); }

const RtfFont* RtfDocument::font(std::int32_t number) const {
  for (const RtfFont& f : fonts)
    if (f.number == number) return &f;
  return nullptr;
}

bool RtfDocument::hasGlyphs() const {
  for (const RtfParagraph& p : paragraphs)
    for (const RtfRun& r : p.runs)
      if (r.glyphs) return true;
  return false;
}

std::string RtfParagraph::plainText() const {
  std::string out;
  for (const RtfRun& r : runs) out += r.text;
  return out;
}

std::string RtfDocument::plainText() const {
  std::string out;
  for (const RtfParagraph& p : paragraphs) {
    out += p.plainText();
    out += '\n';
  }
  return out;
}

}  // namespace korvana::spss
