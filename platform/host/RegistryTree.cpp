#include "platform/host/RegistryTree.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "common/EKorvanaError.h"

namespace korvana::host {

namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool isControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads one text file line by line and builds the tree from it.
class RegistryTextReader {
 public:
  RegistryTextReader(std::string_view text, const std::string& fileName)
      : text_(text), fileName_(fileName) {}

  RegistryTree read() {
    std::size_t start = 0;
    while (start < text_.size()) {
      std::size_t end = text_.find('\n', start);
      if (end == std::string_view::npos) end = text_.size();
      std::string_view line = text_.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      ++lineNumber_;
      readLine(line);
      start = end + 1;
    }
    if (lineNumber_ == 0) {
      lineNumber_ = 1;
      fail("the file is empty; its first line must be \"" + std::string(kRegistryFileFirstLine) + "\"");
    }
    return std::move(tree_);
  }

 private:
  [[noreturn]] void fail(const std::string& problem) const {
    throw EKorvanaError("registry file '" + fileName_ + "', line " + std::to_string(lineNumber_) +
                        ": " + problem);
  }

  void readLine(std::string_view line) {
    if (lineNumber_ == 1) {
      if (line != kRegistryFileFirstLine) {
        fail("the first line must be \"" + std::string(kRegistryFileFirstLine) +
             "\"; this is not a registry file of this format");
      }
      return;
    }
    line = trimBlanks(line);
    if (line.empty() || line.front() == ';') return;
    if (line.front() == '[') {
      readKeyLine(line);
    } else if (line.front() == '@') {
      readValueLine(line);
    } else {
      fail("expected a key in brackets \"[...]\", a value line starting with '@' "
           "or a comment starting with ';'");
    }
  }

  void readKeyLine(std::string_view line) {
    if (line.back() != ']' || line.size() < 2) fail("a key line must end with ']'");
    const std::string_view path = line.substr(1, line.size() - 2);
    const std::size_t separator = path.find('\\');
    const std::string_view rootName = path.substr(0, separator);
    const auto rootIt = std::find_if(std::begin(kRootNames), std::end(kRootNames),
                                     [&](std::string_view n) { return equalKeyNames(n, rootName); });
    if (rootIt == std::end(kRootNames)) {
      fail("unknown root key '" + std::string(rootName) +
           "'; the roots are HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_USERS");
    }
    RegistryKey* key = &tree_.roots[static_cast<std::size_t>(rootIt - std::begin(kRootNames))];
    if (separator != std::string_view::npos) {
      std::vector<std::string> names;
      std::string problem;
      if (!splitKeyPath(path.substr(separator + 1), names, &problem)) fail(problem);
      if (names.size() > kMaxKeyDepth)
        fail("the key is nested " + std::to_string(names.size()) + " levels deep; keys may nest at most " +
             std::to_string(kMaxKeyDepth) + " levels below their root");
      for (const std::string& name : names) {
        RegistryKey* next = key->findSubkey(name);
        key = next != nullptr ? next : &key->addSubkey(name);
      }
    }
    currentKey_ = key;
  }

  void readValueLine(std::string_view line) {
    if (currentKey_ == nullptr) fail("a value line must follow the key it belongs to");
    std::string_view rest = trimBlanks(line.substr(1));
    if (rest.empty() || rest.front() != '=') fail("expected '=' after '@'");
    rest = trimBlanks(rest.substr(1));
    constexpr std::string_view kType = "REG_SZ";
    if (rest.substr(0, kType.size()) != kType) {
      fail("expected the value type REG_SZ after '@ ='; no other type is stored");
    }
    rest.remove_prefix(kType.size());
    if (rest.empty() || !isBlank(rest.front())) fail("expected a blank and a quoted string after REG_SZ");
    rest = trimBlanks(rest);
    if (rest.empty() || rest.front() != '"') fail("expected a quoted string after REG_SZ");
    std::string data;
    std::size_t i = 1;
    for (;; ++i) {
      if (i >= rest.size()) fail("the quoted string has no closing '\"'");
      const char c = rest[i];
      if (c == '"') break;
      if (isControl(c)) fail("a control character inside the quotes; write it as \\xHH");
      if (c != '\\') {
        data.push_back(c);
        continue;
      }
      if (++i >= rest.size()) fail("the quoted string ends in a lone backslash");
      const char escaped = rest[i];
      if (escaped == '\\' || escaped == '"') {
        data.push_back(escaped);
      } else if (escaped == '0') {
        data.push_back('\0');
      } else if (escaped == 'x' && i + 2 < rest.size() && hexDigit(rest[i + 1]) >= 0 &&
                 hexDigit(rest[i + 2]) >= 0) {
        data.push_back(static_cast<char>(hexDigit(rest[i + 1]) * 16 + hexDigit(rest[i + 2])));
        i += 2;
      } else {
        fail("unknown escape '\\" + std::string(1, escaped) +
             "'; use \\\\, \\\", \\0 or \\x followed by two hexadecimal digits");
      }
    }
    if (i + 1 != rest.size()) fail("text after the closing '\"'");
    const auto [earlier, inserted] = valueLines_.emplace(currentKey_, lineNumber_);
    if (!inserted) {
      fail("the key's value was already given on line " + std::to_string(earlier->second));
    }
    currentKey_->defaultValue = std::move(data);
  }

  std::string_view text_;
  const std::string& fileName_;
  std::size_t lineNumber_ = 0;
  RegistryTree tree_;
  RegistryKey* currentKey_ = nullptr;
  std::unordered_map<const RegistryKey*, std::size_t> valueLines_;
};

void appendQuoted(std::string& out, const std::string& data) {
  out.push_back('"');
  for (const char c : data) {
    if (c == '\\' || c == '"') {
      out.push_back('\\');
      out.push_back(c);
    } else if (c == '\0') {
      out += "\\0";
    } else if (isControl(c)) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
      out += escape;
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
}

// Writes a root and every key below it, depth first, each after its parent
// and before its younger siblings. The walk keeps its own stack, so no depth
// of nesting can exhaust the program's.
void appendTree(std::string& out, const RegistryKey& root) {
  struct Visit {
    const RegistryKey* key;
    std::size_t pathLength;  // of the parent's path, restored before the key's name is added
  };
  std::string path;
  std::vector<Visit> pending{{&root, 0}};
  while (!pending.empty()) {
    const Visit visit = pending.back();
    pending.pop_back();
    const RegistryKey& key = *visit.key;
    path.resize(visit.pathLength);
    if (visit.key != &root) path += '\\';
    path += key.name;
    if (visit.key != &root || key.defaultValue) out += "[" + path + "]\n";
    if (key.defaultValue) {
      out += "@ = REG_SZ ";
      appendQuoted(out, *key.defaultValue);
      out.push_back('\n');
    }
    for (auto subkey = key.subkeys.rbegin(); subkey != key.subkeys.rend(); ++subkey)
      pending.push_back({subkey->get(), path.size()});
  }
}

}  // namespace

RegistryKey* RegistryKey::findSubkey(std::string_view subkeyName) const {
  for (const auto& subkey : subkeys) {
    if (equalKeyNames(subkey->name, subkeyName)) return subkey.get();
  }
  return nullptr;
}

RegistryKey& RegistryKey::addSubkey(std::string_view subkeyName) {
  subkeys.push_back(std::make_unique<RegistryKey>());
  subkeys.back()->name = std::string(subkeyName);
  return *subkeys.back();
}

void RegistryKey::removeSubkey(std::size_t position) {
  subkeys.erase(subkeys.begin() + static_cast<std::ptrdiff_t>(position));
}

RegistryTree::RegistryTree() {
  for (std::size_t i = 0; i < kRootCount; ++i) roots[i].name = std::string(kRootNames[i]);
}

RegistryKey* RegistryTree::find(RegistryRoot which, std::span<const std::string> names) {
  RegistryKey* key = &root(which);
  for (const std::string& name : names) {
    key = key->findSubkey(name);
    if (key == nullptr) return nullptr;
  }
  return key;
}

bool equalKeyNames(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

std::string keyNameProblem(std::string_view name) {
  if (name.empty()) return "a key name is empty (two backslashes in a row, or one at an end)";
  if (name.size() > kMaxKeyNameLength) {
    return "the key name '" + std::string(name.substr(0, 40)) + "...' is longer than " +
           std::to_string(kMaxKeyNameLength) + " bytes";
  }
  if (std::any_of(name.begin(), name.end(), isControl)) return "a key name holds a control character";
  return {};
}

bool splitKeyPath(std::string_view path, std::vector<std::string>& names, std::string* problem) {
  names.clear();
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(path.find('\\', start), path.size());
    const std::string_view name = path.substr(start, end - start);
    std::string why = keyNameProblem(name);
    if (!why.empty()) {
      if (problem != nullptr) *problem = std::move(why);
      return false;
    }
    names.emplace_back(name);
    if (end == path.size()) return true;
    start = end + 1;
  }
}

RegistryTree parseRegistryText(std::string_view text, const std::string& fileName) {
  return RegistryTextReader(text, fileName).read();
}

std::string formatRegistryText(const RegistryTree& tree) {
  std::string out(kRegistryFileFirstLine);
  out +=
      "\n; Registry keys, one per line in brackets, each followed by its default value\n"
      "; if it has one. Subkeys follow their key in the order they were created.\n";
  for (const RegistryKey& root : tree.roots) appendTree(out, root);
  return out;
}

}  // namespace korvana::host
