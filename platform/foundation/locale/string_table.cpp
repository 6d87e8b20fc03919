#include "platform/foundation/locale/string_table.h"

#include <cstdint>
#include <memory>
#include <mutex>

namespace platform::foundation {
namespace {

using Table = std::map<std::string, std::string>;

// What the process registered and, once looked at, its parsed form. A lookup
// copies the shared pointer under the lock and reads the map outside it.
struct MainBundleTable {
  std::mutex mutex;
  std::string_view source;
  std::shared_ptr<const Table> parsed;
};

MainBundleTable& mainBundleTable() {
  static MainBundleTable* table =
      new MainBundleTable();  // never destroyed: lookups may run at exit
  return *table;
}

std::shared_ptr<const Table> currentTable() {
  MainBundleTable& table = mainBundleTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (!table.parsed) {
    auto parsed = parseStringsTable(table.source);
    table.parsed = std::make_shared<const Table>(parsed ? std::move(*parsed) : Table());
  }
  return table.parsed;
}

void appendUtf8(std::string& out, uint32_t codePoint) {
  // Escapes reach at most U+10FFFF (a surrogate pair); a lone surrogate is
  // no character.
  if (codePoint >= 0xD800 && codePoint <= 0xDFFF) codePoint = 0xFFFD;
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Characters that may form an unquoted string, as the old property-list
// syntax allows (`key = value;` without quotes).
bool isBareChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c == '+' || c == '/' || c == ':' || c == '.' || c == '-';
}

class StringsParser {
 public:
  explicit StringsParser(std::string_view text) : text_(text) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  }

  // Reads every entry it can; returns false when the text held something
  // other than blanks and comments yet no entry could be read.
  bool parse(Table& table) {
    bool sawContent = false;
    while (skipSpaceAndComments()) {
      sawContent = true;
      size_t start = pos_;
      if (!parseEntry(table)) {
        skipPastSemicolon(start);
      }
    }
    return table.empty() ? !sawContent : true;
  }

 private:
  bool atEnd() const { return pos_ >= text_.size(); }

  // Skips white space and both kinds of comment; false at the end of text.
  bool skipSpaceAndComments() {
    while (!atEnd()) {
      char c = text_[pos_];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (text_.compare(pos_, 2, "//") == 0) {
        size_t end = text_.find('\n', pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end + 1;
      } else if (text_.compare(pos_, 2, "/*") == 0) {
        size_t end = text_.find("*/", pos_ + 2);
        pos_ = end == std::string_view::npos ? text_.size() : end + 2;
      } else {
        return true;
      }
    }
    return false;
  }

  // Resumes after the next ';' past `start` so one bad entry costs only itself.
  void skipPastSemicolon(size_t start) {
    size_t end = text_.find(';', start);
    pos_ = end == std::string_view::npos ? text_.size() : end + 1;
  }

  bool parseEntry(Table& table) {
    std::string key;
    if (!parseString(key)) return false;
    if (!skipSpaceAndComments()) return false;
    std::string value;
    if (text_[pos_] == ';') {
      // `"key";` stands for `"key" = "key";`.
      value = key;
    } else {
      if (text_[pos_] != '=') return false;
      ++pos_;
      if (!skipSpaceAndComments() || !parseString(value)) return false;
      if (!skipSpaceAndComments() || text_[pos_] != ';') return false;
    }
    ++pos_;
    table.insert_or_assign(std::move(key), std::move(value));
    return true;
  }

  bool parseString(std::string& out) {
    if (atEnd()) return false;
    if (text_[pos_] == '"') return parseQuoted(out);
    size_t start = pos_;
    while (!atEnd() && isBareChar(text_[pos_])) ++pos_;
    if (pos_ == start) return false;
    out.assign(text_.substr(start, pos_ - start));
    return true;
  }

  bool parseQuoted(std::string& out) {
    ++pos_;  // opening quote
    while (!atEnd()) {
      char c = text_[pos_++];
      if (c == '"') return true;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (atEnd()) return false;
      char e = text_[pos_++];
      switch (e) {
        case 'n':
          out += '\n';
          break;
        case 't':
          out += '\t';
          break;
        case 'r':
          out += '\r';
          break;
        case 'a':
          out += '\a';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'v':
          out += '\v';
          break;
        case 'U':
        case 'u': {
          uint32_t unit = 0;
          if (!readHex4(unit)) return false;
          if (unit >= 0xD800 && unit <= 0xDBFF && text_.compare(pos_, 2, "\\U") == 0) {
            size_t save = pos_;
            pos_ += 2;
            uint32_t low = 0;
            if (readHex4(low) && low >= 0xDC00 && low <= 0xDFFF) {
              unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            } else {
              pos_ = save;
            }
          }
          appendUtf8(out, unit);
          break;
        }
        default:
          if (e >= '0' && e <= '7') {
            // Up to three octal digits, as in C.
            uint32_t value = static_cast<uint32_t>(e - '0');
            for (int i = 0; i < 2 && !atEnd() && text_[pos_] >= '0' && text_[pos_] <= '7'; ++i) {
              value = value * 8 + static_cast<uint32_t>(text_[pos_++] - '0');
            }
            appendUtf8(out, value);
          } else {
            // \" \\ \' and any other character stand for themselves.
            out += e;
          }
      }
    }
    return false;
  }

  bool readHex4(uint32_t& value) {
    if (pos_ + 4 > text_.size()) return false;
    value = 0;
    for (int i = 0; i < 4; ++i) {
      int digit = hexValue(text_[pos_ + static_cast<size_t>(i)]);
      if (digit < 0) return false;
      value = value * 16 + static_cast<uint32_t>(digit);
    }
    pos_ += 4;
    return true;
  }

  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace

std::optional<Table> parseStringsTable(std::string_view text) {
  Table table;
  if (!StringsParser(text).parse(table)) return std::nullopt;
  return table;
}

void registerMainBundleStringsTable(std::string_view table) {
  MainBundleTable& state = mainBundleTable();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.parsed && state.source.data() == table.data() && state.source.size() == table.size()) {
    return;  // the same bytes again: keep the parsed form
  }
  state.source = table;
  state.parsed.reset();
}

std::string formatLocalized(std::string_view format, const std::vector<std::string>& arguments) {
  std::string out;
  out.reserve(format.size());
  size_t nextArgument = 0;
  size_t i = 0;
  while (i < format.size()) {
    char c = format[i];
    if (c != '%' || i + 1 >= format.size()) {
      out += c;
      ++i;
      continue;
    }
    if (format[i + 1] == '%') {
      out += '%';
      i += 2;
      continue;
    }
    if (format[i + 1] == '@') {
      if (nextArgument < arguments.size()) {
        out += arguments[nextArgument++];
      } else {
        out.append(format.substr(i, 2));
      }
      i += 2;
      continue;
    }
    // Positional form: %<n>$@ with n counted from 1.
    size_t j = i + 1;
    size_t position = 0;
    while (j < format.size() && format[j] >= '0' && format[j] <= '9' && position < 1000000) {
      position = position * 10 + static_cast<size_t>(format[j] - '0');
      ++j;
    }
    if (j > i + 1 && j + 1 < format.size() && format[j] == '$' && format[j + 1] == '@' &&
        position >= 1 && position <= arguments.size()) {
      out += arguments[position - 1];
      i = j + 2;
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

std::string localizedString(std::string_view key, const std::vector<std::string>& arguments) {
  std::shared_ptr<const Table> table = currentTable();
  auto found = table->find(std::string(key));
  std::string_view format = found == table->end() ? key : std::string_view(found->second);
  return formatLocalized(format, arguments);
}

}  // namespace platform::foundation
