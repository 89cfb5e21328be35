#include "platform/spss/proximities/ProximitiesParser.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <optional>
#include <unordered_map>

namespace korvana::spss {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

bool isSeparator(char c) {
  return isBlank(c) || c == '/' || c == '=' || c == ',' || c == '(' || c == ')' || c == '\'' || c == '"';
}

std::string upperCase(std::string_view word) {
  std::string upper(word);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

struct Token {
  enum Kind { word, slash, equals, comma, open, close, quote, end } kind = end;
  std::string_view text;
  std::size_t position = 0;  // offset in the command text
};

/// The scanner and the grammar of the command, one pass from left to right.
class Parser {
 public:
  Parser(std::string_view command, const std::vector<ProximitiesVariable>& dictionary)
      : text_(command), dictionary_(dictionary) {
    // The terminating full stop, if any, with blanks around it.
    std::size_t size = text_.size();
    while (size > 0 && isBlank(text_[size - 1])) --size;
    if (size > 0 && text_[size - 1] == '.') --size;
    text_ = text_.substr(0, size);
  }

  ProximitiesRequest parse() {
    const Token name = next();
    if (name.kind != Token::word || upperCase(name.text) != "PROXIMITIES")
      fail("the command must begin with PROXIMITIES, not", name);
    parseVariableList();
    while (peek().kind != Token::end) {
      const Token slash = next();
      if (slash.kind != Token::slash) fail("expected \"/\" and a subcommand instead of", slash);
      parseSubcommand();
    }
    if (standardizePosition_ && request_.family() == MeasureFamily::binary)
      failAt("STANDARDIZE cannot be used with the binary measure " + std::string(measureInfo(request_.measure).keyword) +
                 "; the subcommand",
             "STANDARDIZE", *standardizePosition_);
    return request_;
  }

 private:
  // ---- scanner -------------------------------------------------------------

  void skipBlanks() {
    while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
  }

  Token scan() {
    skipBlanks();
    Token token;
    token.position = pos_;
    if (pos_ >= text_.size()) return token;
    const char c = text_[pos_];
    const auto single = [&](Token::Kind kind) {
      token.kind = kind;
      token.text = text_.substr(pos_, 1);
      ++pos_;
      return token;
    };
    switch (c) {
      case '/': return single(Token::slash);
      case '=': return single(Token::equals);
      case ',': return single(Token::comma);
      case '(': return single(Token::open);
      case ')': return single(Token::close);
      case '\'':
      case '"': return single(Token::quote);
      default: break;
    }
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !isSeparator(text_[pos_])) ++pos_;
    token.kind = Token::word;
    token.text = text_.substr(start, pos_ - start);
    return token;
  }

  Token next() {
    if (peeked_) {
      const Token token = *peeked_;
      peeked_.reset();
      return token;
    }
    return scan();
  }

  const Token& peek() {
    if (!peeked_) peeked_ = scan();
    return *peeked_;
  }

  // ---- errors --------------------------------------------------------------

  [[noreturn]] void failAt(const std::string& what, std::string_view token, std::size_t position) const {
    throw EProximitiesError("PROXIMITIES: " + what + " \"" + std::string(token) + "\" at position " +
                            std::to_string(position + 1) + ".");
  }

  [[noreturn]] void fail(const std::string& what, const Token& token) const {
    if (token.kind == Token::end)
      throw EProximitiesError("PROXIMITIES: " + what + " the end of the command (position " +
                              std::to_string(token.position + 1) + ").");
    failAt(what, token.text, token.position);
  }

  // ---- grammar -------------------------------------------------------------

  std::optional<std::size_t> findVariable(std::string_view name) {
    if (byName_.empty())
      for (std::size_t i = 0; i < dictionary_.size(); ++i) byName_.emplace(upperCase(dictionary_[i].name), i);
    const auto found = byName_.find(upperCase(name));
    if (found == byName_.end()) return std::nullopt;
    return found->second;
  }

  void parseVariableList() {
    for (;;) {
      const Token& token = peek();
      if (token.kind == Token::slash || token.kind == Token::end) break;
      const Token name = next();
      if (name.kind == Token::comma) {
        if (request_.variables.empty()) fail("a variable name must come before", name);
        const Token& following = peek();
        if (following.kind != Token::word) fail("a variable name must follow the comma, not", following);
        continue;
      }
      if (name.kind != Token::word) fail("expected a variable name instead of", name);
      const std::optional<std::size_t> index = findVariable(name.text);
      if (!index) failAt("the data set has no variable", name.text, name.position);
      if (!dictionary_[*index].isNumeric)
        failAt("PROXIMITIES needs numeric variables, and this one is a string variable:", name.text, name.position);
      if (listed_.empty()) listed_.assign(dictionary_.size(), false);
      if (listed_[*index]) failAt("the variable list names a variable twice:", name.text, name.position);
      listed_[*index] = true;
      request_.variables.push_back(dictionary_[*index].name);
      request_.variableIndexes.push_back(*index);
    }
    if (request_.variables.empty()) fail("expected the variable list instead of", peek());
  }

  /// The optional "=" after a subcommand's name.
  void skipEquals() {
    if (peek().kind == Token::equals) next();
  }

  /// True when the subcommand has ended (next is "/" or the end).
  bool atSubcommandEnd() {
    const Token::Kind kind = peek().kind;
    return kind == Token::slash || kind == Token::end;
  }

  void expectSubcommandEnd(const std::string& subcommand) {
    if (!atSubcommandEnd()) fail("the subcommand " + subcommand + " does not take", peek());
  }

  Token expectWord(const std::string& what) {
    const Token token = next();
    if (token.kind != Token::word) fail("expected " + what + " instead of", token);
    return token;
  }

  void parseSubcommand() {
    const Token name = next();
    if (name.kind != Token::word) fail("expected a subcommand name instead of", name);
    const std::string keyword = upperCase(name.text);
    static const char* const kSubcommands[] = {"VIEW", "STANDARDIZE", "MEASURE", "ID", "PRINT", "MATRIX"};
    bool known = false;
    for (const char* subcommand : kSubcommands) known = known || keyword == subcommand;
    if (!known) failAt("unknown subcommand", name.text, name.position);
    for (const std::string& seen : seen_)
      if (seen == keyword) failAt("the subcommand is given twice:", name.text, name.position);
    seen_.push_back(keyword);

    skipEquals();
    if (keyword == "VIEW") parseView();
    else if (keyword == "STANDARDIZE") parseStandardize(name.position);
    else if (keyword == "MEASURE") parseMeasure();
    else if (keyword == "ID") parseId();
    else if (keyword == "PRINT") parsePrint();
    else parseMatrix();
  }

  void parseView() {
    const Token value = expectWord("CASE or VARIABLE after VIEW");
    const std::string upper = upperCase(value.text);
    if (upper == "CASE") request_.view = ProximityView::cases;
    else if (upper == "VARIABLE") request_.view = ProximityView::variables;
    else failAt("VIEW takes CASE or VARIABLE, not", value.text, value.position);
    expectSubcommandEnd("VIEW");
  }

  void parseStandardize(std::size_t position) {
    standardizePosition_ = position;
    request_.standardizeBy = StandardizeDirection::byVariable;
    request_.standardization = Standardization::z;
    if (atSubcommandEnd()) return;
    Token value = expectWord("VARIABLE, CASE or a standardization method");
    std::string upper = upperCase(value.text);
    if (upper == "VARIABLE" || upper == "CASE") {
      request_.standardizeBy = upper == "CASE" ? StandardizeDirection::byCase : StandardizeDirection::byVariable;
      if (atSubcommandEnd()) return;
      value = expectWord("a standardization method");
    }
    const std::optional<Standardization> method = findStandardization(value.text);
    if (!method) failAt("unknown standardization method", value.text, value.position);
    request_.standardization = *method;
    expectSubcommandEnd("STANDARDIZE");
  }

  /// An integer parameter of a measure; the sign is part of the word.
  std::int32_t parseInteger(const Token& token) const {
    std::int32_t value = 0;
    const char* first = token.text.data();
    const char* last = first + token.text.size();
    if (first != last && *first == '+') ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    if (token.kind != Token::word || first == last || error != std::errc() || end != last)
      fail("expected a whole number instead of", token);
    return value;
  }

  void parseMeasure() {
    const Token keyword = expectWord("a measure keyword after MEASURE");
    const std::optional<ProximityMeasure> measure = findMeasure(keyword.text);
    if (!measure) failAt("unknown measure", keyword.text, keyword.position);
    request_.measure = *measure;
    const MeasureFamily family = measureInfo(*measure).family;

    std::vector<std::int32_t> parameters;
    if (peek().kind == Token::open) {
      next();
      for (;;) {
        parameters.push_back(parseInteger(next()));
        const Token separator = next();
        if (separator.kind == Token::close) break;
        if (separator.kind != Token::comma) fail("expected \",\" or \")\" instead of", separator);
      }
      if (family != MeasureFamily::binary && *measure != ProximityMeasure::minkowski &&
          *measure != ProximityMeasure::power)
        failAt("the measure takes no parameters:", keyword.text, keyword.position);
    }

    if (*measure == ProximityMeasure::minkowski || *measure == ProximityMeasure::power) {
      const std::size_t wanted = *measure == ProximityMeasure::minkowski ? 1 : 2;
      if (parameters.size() != wanted)
        failAt(std::string("the measure needs ") + (wanted == 1 ? "one parameter (power):" : "two parameters (power,root):"),
               keyword.text, keyword.position);
      for (const std::int32_t value : parameters)
        if (value < 1) failAt("power and root must be at least 1 for", keyword.text, keyword.position);
      request_.power = parameters[0];
      if (wanted == 2) request_.root = parameters[1];
    } else if (family == MeasureFamily::binary) {
      if (parameters.size() > 2)
        failAt("a binary measure takes at most two parameters (present,absent):", keyword.text, keyword.position);
      request_.binaryParametersGiven = !parameters.empty();
      if (!parameters.empty()) request_.presentValue = parameters[0];
      request_.absentIsEveryOtherValue = parameters.size() == 1;
      if (parameters.size() == 2) {
        request_.absentValue = parameters[1];
        if (parameters[0] == parameters[1])
          failAt("the present and absent values must differ for", keyword.text, keyword.position);
      }
    }

    while (!atSubcommandEnd()) {
      const Token word = expectWord("ABSOLUTE, REVERSE or RESCALE");
      const std::string upper = upperCase(word.text);
      if (upper == "ABSOLUTE") request_.absolute = true;
      else if (upper == "REVERSE") request_.reverse = true;
      else if (upper == "RESCALE") request_.rescale = true;
      else failAt("unknown transformation", word.text, word.position);
    }
  }

  void parseId() {
    const Token name = expectWord("a variable name after ID");
    const std::optional<std::size_t> index = findVariable(name.text);
    if (!index) failAt("the data set has no ID variable", name.text, name.position);
    request_.idVariable = dictionary_[*index].name;
    request_.idVariableIndex = *index;
    expectSubcommandEnd("ID");
  }

  void parsePrint() {
    const Token value = expectWord("PROXIMITIES or NONE after PRINT");
    const std::string upper = upperCase(value.text);
    if (upper == "PROXIMITIES") request_.printMatrix = true;
    else if (upper == "NONE") request_.printMatrix = false;
    else failAt("PRINT takes PROXIMITIES or NONE, not", value.text, value.position);
    expectSubcommandEnd("PRINT");
  }

  /// OUT('file'): a quoted text, a doubled quote inside standing for one.
  void parseMatrix() {
    const Token out = expectWord("OUT after MATRIX");
    if (upperCase(out.text) != "OUT") failAt("MATRIX takes only OUT('file'), not", out.text, out.position);
    const Token open = next();
    if (open.kind != Token::open) fail("expected \"(\" after OUT instead of", open);
    const Token quote = next();
    if (quote.kind != Token::quote) fail("the matrix file must be a quoted file name, not", quote);
    const char q = quote.text[0];
    std::string name;
    std::size_t at = quote.position + 1;
    const auto unclosed = [&] {
      failAt("the file name has no closing quote followed by \")\":", text_.substr(quote.position), quote.position);
    };
    for (;; ++at) {
      if (at >= text_.size()) unclosed();
      if (text_[at] != q) {
        name += text_[at];
      } else if (at + 1 < text_.size() && text_[at + 1] == q) {
        name += q;
        ++at;
      } else {
        break;
      }
    }
    pos_ = at + 1;
    if (name.empty()) failAt("the matrix file name is empty:", text_.substr(quote.position, 2), quote.position);
    request_.matrixFile = std::move(name);
    if (next().kind != Token::close) unclosed();
    expectSubcommandEnd("MATRIX");
  }

  std::string_view text_;
  const std::vector<ProximitiesVariable>& dictionary_;
  std::size_t pos_ = 0;
  std::optional<Token> peeked_;
  std::vector<std::string> seen_;
  std::optional<std::size_t> standardizePosition_;
  std::unordered_map<std::string, std::size_t> byName_;  // upper-case name → first position
  std::vector<bool> listed_;                              // by dictionary position
  ProximitiesRequest request_;
};

}  // namespace

ProximitiesRequest ProximitiesParser::parse(std::string_view command,
                                            const std::vector<ProximitiesVariable>& dictionary) {
  return Parser(command, dictionary).parse();
}

}  // namespace korvana::spss
