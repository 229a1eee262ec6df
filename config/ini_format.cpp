#include "config/ini_format.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace qs::ini {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool IsBreak(char c) {
  return c == '\n' || c == '\r';
}
bool IsLineSpace(char c) {
  return c == ' ' || c == '\t' || IsBreak(c);
}
bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
int HexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

// One UTF-16 unit, as an escape yields it, in UTF-8; a lone surrogate cannot be, as in Qt.
void AppendUnit(std::string& out, unsigned unit) {
  if (unit >= 0xD800 && unit <= 0xDFFF) {
    unit = 0xFFFD;
  }
  if (unit < 0x80) {
    out += static_cast<char>(unit);
  } else if (unit < 0x800) {
    out += static_cast<char>(0xC0 | (unit >> 6));
    out += static_cast<char>(0x80 | (unit & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (unit >> 12));
    out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (unit & 0x3F));
  }
}

// A logical line: inside quotes or after a backslash it runs over line breaks; an unquoted ';'
// ends it, the rest of the physical line being a comment.
struct Line {
  std::size_t start = 0;
  std::size_t end = 0;
  std::size_t equals = kNone;  // the first '=' outside quotes
};

// The line at `pos`, after blanks, empty lines and comment lines; false at the end of the data.
bool NextLine(std::string_view data, std::size_t& pos, Line& line) {
  std::size_t start = pos;
  while (start < data.size() && IsLineSpace(data[start])) {
    ++start;
  }
  line.equals = kNone;
  bool quoted = false;
  bool ended = false;
  std::size_t i = start;
  while (i < data.size() && !ended) {
    const char c = data[i++];
    if (c == '=') {
      if (!quoted && line.equals == kNone) {
        line.equals = i - 1;
      }
    } else if (IsBreak(c)) {
      ended = !quoted;
    } else if (c == '\\') {
      if (i < data.size()) {
        const char escaped = data[i++];
        if (i < data.size() && IsBreak(escaped) && IsBreak(data[i]) && data[i] != escaped) {
          ++i;  // \r\n or \n\r after a backslash: one continued line
        }
      }
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ';') {
      if (i == start + 1) {  // a comment line
        while (i < data.size() && !IsBreak(data[i])) {
          ++i;
        }
        while (i < data.size() && IsLineSpace(data[i])) {
          ++i;
        }
        start = i;
      } else {
        ended = !quoted;
      }
    }
  }
  if (ended) {
    --i;  // the break or the ';' belongs to what follows
  }
  pos = i;
  line.start = start;
  line.end = i;
  return i > start;
}

std::size_t FirstLine(std::string_view data) {
  return data.starts_with("\xEF\xBB\xBF") ? 3 : 0;  // a UTF-8 byte order mark
}

// A key or section name: '\' stands for '/', %XX and %UXXXX for the character of that code.
std::string UnescapeKey(std::string_view key) {
  std::string out;
  for (std::size_t i = 0; i < key.size();) {
    const char c = key[i];
    if (c == '\\') {
      out += '/';
      ++i;
      continue;
    }
    if (c != '%' || i + 1 == key.size()) {
      out += c;
      ++i;
      continue;
    }
    const std::size_t digits = key[i + 1] == 'U' ? 4 : 2;
    const std::size_t first = key[i + 1] == 'U' ? i + 2 : i + 1;
    unsigned code = 0;
    bool ok = first + digits <= key.size();
    for (std::size_t d = 0; ok && d < digits; ++d) {
      const int digit = HexDigit(key[first + d]);
      ok = digit >= 0;
      code = code * 16 + static_cast<unsigned>(digit < 0 ? 0 : digit);
    }
    if (!ok) {
      out += '%';
      ++i;
      continue;
    }
    AppendUnit(out, code);
    i = first + digits;
  }
  return out;
}

std::string EscapeKey(std::string_view key) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : key) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/') {
      out += '\\';
    } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-' || c == '.') {
      out += c;
    } else {
      out += '%';
      out += kHex[byte / 16];
      out += kHex[byte % 16];
    }
  }
  return out;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
  });
}

// What keys of the section a '[' line opens start with: "" for [General], else "Name/".
std::string SectionPrefix(std::string_view data, const Line& line) {
  std::string_view name = data.substr(line.start + 1, line.end - line.start - 1);
  if (const std::size_t close = name.find(']'); close != kNone) {
    name = name.substr(0, close);
  }
  constexpr std::string_view kSpace = " \t\n\v\f\r";
  const std::size_t first = name.find_first_not_of(kSpace);
  name = first == kNone ? std::string_view()
                        : name.substr(first, name.find_last_not_of(kSpace) - first + 1);
  if (EqualsIgnoringCase(name, "general")) {
    return {};
  }
  if (EqualsIgnoringCase(name, "%general")) {
    return std::string(name.substr(1)) + '/';
  }
  return UnescapeKey(name) + '/';
}

std::string KeyOf(std::string_view data, const Line& line) {
  std::size_t end = line.equals;
  while (end > line.start && IsBlank(data[end - 1])) {
    --end;
  }
  return UnescapeKey(data.substr(line.start, end - line.start));
}

// The value's escapes and quotes undone; true (and `list` filled) when unquoted commas made it a
// list. Blanks around an unquoted item are dropped; blanks an escape produced are kept.
bool UnescapeValue(std::string_view s, std::string& text, std::vector<std::string>& list) {
  static constexpr char kEscapes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                         {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                         {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
  bool is_list = false;
  bool in_quotes = false;
  bool item_quoted = false;
  std::size_t i = 0;
  std::size_t keep = 0;  // text up to here is never chopped
  const auto skip_blanks = [&] {
    while (i < s.size() && IsBlank(s[i])) {
      ++i;
    }
    keep = text.size();
  };
  const auto chop = [&] {
    while (text.size() > keep && IsBlank(text.back())) {
      text.pop_back();
    }
  };
  // An escape cut short by the end of the value ends it as it stands, unchopped.
  const auto cut_short = [&] {
    if (is_list) {
      list.push_back(text);
    }
    return is_list;
  };
  skip_blanks();
  while (i < s.size()) {
    const char c = s[i];
    if (c == '\\') {
      if (++i >= s.size()) {
        return cut_short();
      }
      const char e = s[i++];
      const auto simple = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                       [e](const char(&pair)[2]) { return pair[0] == e; });
      const int base = e == 'x' ? 16 : (e >= '0' && e <= '7' ? 8 : 0);
      if (simple != std::end(kEscapes)) {
        text += (*simple)[1];
      } else if (base == 16 && i >= s.size()) {
        return cut_short();
      } else if (base != 0 && (base == 8 || HexDigit(s[i]) >= 0)) {
        std::uint16_t unit = base == 8 ? static_cast<std::uint16_t>(e - '0') : 0;
        for (int d; i < s.size() && (d = HexDigit(s[i])) >= 0 && d < base; ++i) {
          unit = static_cast<std::uint16_t>(unit * base + d);
        }
        AppendUnit(text, unit);
        if (i >= s.size()) {
          return cut_short();
        }
      } else if (IsBreak(e) && i < s.size() && IsBreak(s[i]) && s[i] != e) {
        ++i;  // a continued line; any other escaped character is dropped
      }
      keep = text.size();
    } else if (c == '"') {
      ++i;
      item_quoted = true;
      in_quotes = !in_quotes;
      if (!in_quotes) {
        skip_blanks();
      }
    } else if (c == ',' && !in_quotes) {
      if (!item_quoted) {
        chop();
      }
      if (!is_list) {
        is_list = true;
        list.clear();
      }
      list.push_back(std::move(text));
      text.clear();
      item_quoted = false;
      ++i;
      skip_blanks();
    } else {
      std::size_t j = i + 1;
      while (j < s.size() && s[j] != '\\' && s[j] != '"' && s[j] != ',') {
        ++j;
      }
      text.append(s.substr(i, j - i));
      i = j;
    }
  }
  if (!item_quoted) {
    chop();
  }
  if (is_list) {
    list.push_back(text);
  }
  return is_list;
}

// The number of arguments of "@Rect(1 2 3 4)" and the like, counted as QSettings does.
std::size_t ArgumentCount(std::string_view s) {
  std::size_t count = 0;
  for (std::size_t i = s.find('(') + 1; i < s.size(); ++i) {
    count += s[i] == ')' || s[i] == ' ' ? 1 : 0;
  }
  return count;
}

Value ToValue(const std::string& s) {
  Value value;
  if (s.starts_with('@') && s.ends_with(')')) {
    const auto inner = [&](std::size_t prefix) { return s.substr(prefix, s.size() - prefix - 1); };
    if (s.starts_with("@ByteArray(")) {
      value.text = inner(11);
      return value;
    }
    if (s.starts_with("@String(")) {
      value.text = inner(8);
      return value;
    }
    const bool typed =
        s.starts_with("@Variant(") || s.starts_with("@DateTime(") ||
        (s.starts_with("@Rect(") && ArgumentCount(s) == 4) ||
        ((s.starts_with("@Size(") || s.starts_with("@Point(")) && ArgumentCount(s) == 2);
    if (typed) {
      value.kind = Value::Kind::kTyped;
      return value;
    }
    if (s == "@Invalid()") {
      value.kind = Value::Kind::kInvalid;
      return value;
    }
  }
  value.text = s.starts_with("@@") ? s.substr(1) : s;
  return value;
}

Value ToValue(std::vector<std::string> list) {
  Value value;
  value.kind = Value::Kind::kList;
  for (std::string& item : list) {
    if (item.starts_with('@')) {
      if (!item.starts_with("@@")) {
        value.kind = Value::Kind::kTyped;  // a list of typed values
        return value;
      }
      item.erase(0, 1);
    }
  }
  value.list = std::move(list);
  return value;
}

// The end of the physical line holding `end`, past its line break.
std::size_t PhysicalEnd(std::string_view data, std::size_t end) {
  while (end < data.size() && !IsBreak(data[end])) {
    ++end;
  }
  if (end < data.size() && data[end] == '\r') {
    ++end;
  }
  if (end < data.size() && data[end] == '\n') {
    ++end;
  }
  return end;
}

std::size_t PhysicalStart(std::string_view data, std::size_t start) {
  while (start > 0 && IsBlank(data[start - 1])) {
    --start;
  }
  return start;
}

}  // namespace

std::map<std::string, Value, std::less<>> ReadGroup(std::string_view data, std::string_view group) {
  const std::string wanted = std::string(group) + '/';
  std::map<std::string, Value, std::less<>> values;
  std::string prefix;
  std::size_t pos = FirstLine(data);
  for (Line line; NextLine(data, pos, line);) {
    if (data[line.start] == '[') {
      prefix = SectionPrefix(data, line);
    } else if (line.equals != kNone && prefix == wanted) {
      std::string text;
      std::vector<std::string> list;
      const std::string_view raw = data.substr(line.equals + 1, line.end - line.equals - 1);
      values.insert_or_assign(KeyOf(data, line), UnescapeValue(raw, text, list)
                                                     ? ToValue(std::move(list))
                                                     : ToValue(text));
    }
  }
  return values;
}

std::string WithValue(std::string_view data, std::string_view group, std::string_view key,
                      std::string_view written_value) {
  const std::string group_prefix = std::string(group) + '/';
  std::vector<std::pair<std::size_t, std::size_t>> removed;  // physical lines of old definitions
  std::size_t insert_at = kNone;  // after the last line of the group's last section
  bool in_group = false;
  std::string prefix;
  std::size_t pos = FirstLine(data);
  for (Line line; NextLine(data, pos, line);) {
    if (data[line.start] == '[') {
      prefix = SectionPrefix(data, line);
      in_group = prefix == group_prefix;
    } else if (line.equals != kNone && in_group && KeyOf(data, line) == key) {
      removed.emplace_back(PhysicalStart(data, line.start), PhysicalEnd(data, line.end));
    } else if (line.equals == kNone) {
      continue;
    }
    if (in_group) {
      insert_at = PhysicalEnd(data, line.end);
    }
  }
  const std::string new_line = EscapeKey(key) + '=' + std::string(written_value) + '\n';
  std::string out;
  std::size_t copied = 0;
  const auto copy_to = [&](std::size_t end) {
    out.append(data.substr(copied, end - copied));
    copied = end;
  };
  for (const auto& [start, end] : removed) {
    if (insert_at != kNone && insert_at <= start) {
      break;
    }
    copy_to(start);
    copied = end;
  }
  if (insert_at == kNone) {
    copy_to(data.size());
    if (!out.empty() && !IsBreak(out.back())) {
      out += '\n';
    }
    out += out.empty() ? "" : "\n";
    return out + '[' + EscapeKey(group) + "]\n" + new_line;
  }
  copy_to(std::max(insert_at, copied));
  if (!out.empty() && !IsBreak(out.back())) {
    out += '\n';
  }
  out += new_line;
  for (const auto& [start, end] : removed) {
    if (start >= copied) {
      copy_to(start);
      copied = end;
    }
  }
  copy_to(data.size());
  return out;
}

std::string EscapeText(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  const auto hex = [](unsigned char c) {
    std::string digits;
    if (c >= 16) {
      digits += kHex[c / 16];
    }
    return digits + kHex[c % 16];
  };
  std::string value = text.starts_with('@') ? "@" : "";
  value += text;
  std::string out;
  bool needs_quotes = false;
  bool escape_hex_digit = false;  // after \x or \0, a hex digit must not read as part of it
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    needs_quotes = needs_quotes || c == ';' || c == ',' || c == '=';
    if (escape_hex_digit && HexDigit(c) >= 0) {
      out += "\\x" + hex(byte);
      continue;
    }
    escape_hex_digit = false;
    switch (c) {
      case '\0':
        out += "\\0";
        escape_hex_digit = true;
        break;
      case '\a':
        out += "\\a";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\v':
        out += "\\v";
        break;
      case '"':
      case '\\':
        out += '\\';
        out += c;
        break;
      default:
        if (byte <= 0x1F) {
          out += "\\x" + hex(byte);
          escape_hex_digit = true;
        } else {
          out += c;  // ASCII, and UTF-8 as it stands
        }
    }
  }
  if (needs_quotes || (!out.empty() && (out.front() == ' ' || out.back() == ' '))) {
    return '"' + out + '"';
  }
  return out;
}

bool ParseInt(std::string_view text, std::int32_t& value) {
  constexpr std::string_view kSpace = " \t\n\v\f\r";
  const std::size_t first = text.find_first_not_of(kSpace);
  if (first == kNone) {
    return false;
  }
  text = text.substr(first, text.find_last_not_of(kSpace) - first + 1);
  if (text.starts_with('+') && text.size() > 1 && text[1] != '-') {
    text.remove_prefix(1);
  }
  std::int64_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size()) {
    return false;
  }
  // Read as a 64-bit number and cut to 32 bits, as QVariant::toInt does: 2147483648 reads as
  // -2147483648.
  value = static_cast<std::int32_t>(static_cast<std::uint32_t>(number));
  return true;
}

}  // namespace qs::ini
