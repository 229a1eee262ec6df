#include "config/ini_format.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <vector>

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

// A line as QSettings writes it; an unquoted ';' ends it, the rest of the line being a comment.
// (QSettings also reads quoted values and backslashes across line breaks, which it never writes.)
struct Line {
  std::size_t start = 0;
  std::size_t end = 0;
  std::size_t equals = kNone;  // the first '=' outside quotes
};

// The line at `pos`, after blanks and empty lines; false at the end of the data.
bool NextLine(std::string_view data, std::size_t& pos, Line& line) {
  while (pos < data.size() && IsLineSpace(data[pos])) {
    ++pos;
  }
  line = {pos, kNone, kNone};
  bool quoted = false;
  for (; pos < data.size() && !IsBreak(data[pos]); ++pos) {
    const char c = data[pos];
    if (line.end != kNone) {
      continue;  // the comment
    }
    if (c == '\\' && pos + 1 < data.size() && !IsBreak(data[pos + 1])) {
      ++pos;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == '=' && !quoted && line.equals == kNone) {
      line.equals = pos;
    } else if (c == ';' && !quoted) {
      line.end = pos;
    }
  }
  line.end = std::min(line.end, pos);
  return line.start < data.size();
}

std::size_t FirstLine(std::string_view data) {
  return data.starts_with("\xEF\xBB\xBF") ? 3 : 0;  // a UTF-8 byte order mark
}

// What a '[' line names, blanks trimmed.
std::string_view SectionName(std::string_view data, const Line& line) {
  std::string_view name = data.substr(line.start + 1, line.end - line.start - 1);
  name = name.substr(0, name.find(']'));
  const std::size_t first = name.find_first_not_of(" \t");
  return first == kNone ? std::string_view()
                        : name.substr(first, name.find_last_not_of(" \t") - first + 1);
}

std::string_view KeyOf(std::string_view data, const Line& line) {
  std::size_t end = line.equals;
  while (end > line.start && IsBlank(data[end - 1])) {
    --end;
  }
  return data.substr(line.start, end - line.start);
}

// The escapes QSettings writes and reads, by the letter after the backslash; it also reads \?
// and \' but never writes them.
constexpr char kEscapes[][2] = {{'a', '\a'},  {'b', '\b'}, {'f', '\f'}, {'n', '\n'},
                                {'r', '\r'},  {'t', '\t'}, {'v', '\v'}, {'"', '"'},
                                {'\\', '\\'}, {'?', '?'},  {'\'', '\''}};
constexpr std::size_t kWrittenEscapes = 9;

// The value's escapes and quotes undone. Unquoted commas, as a hand edit leaves them, make a
// list, joined back with ", ": blanks around an unquoted item are dropped, blanks an escape
// produced are kept.
std::string UnescapeValue(std::string_view s) {
  std::string text;
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
  skip_blanks();
  while (i < s.size()) {
    const char c = s[i];
    if (c == '\\') {
      if (++i >= s.size()) {
        return text;  // an escape cut short by the end of the value ends it, unchopped
      }
      const char e = s[i++];
      const auto simple = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                       [e](const char(&pair)[2]) { return pair[0] == e; });
      const int base = e == 'x' ? 16 : (e >= '0' && e <= '7' ? 8 : 0);
      if (simple != std::end(kEscapes)) {
        text += (*simple)[1];
      } else if (base == 16 && i >= s.size()) {
        return text;
      } else if (base != 0 && (base == 8 || HexDigit(s[i]) >= 0)) {
        std::uint16_t unit = base == 8 ? static_cast<std::uint16_t>(e - '0') : 0;
        for (int d; i < s.size() && (d = HexDigit(s[i])) >= 0 && d < base; ++i) {
          unit = static_cast<std::uint16_t>(unit * base + d);
        }
        AppendUnit(text, unit);
        if (i >= s.size()) {
          return text;
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
      text += ", ";
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
  return text;
}

// The text QSettings hands back for a value: the bytes of @ByteArray(...) and @String(...), no
// text for other typed values, none at all for @Invalid(), a doubled leading '@' undone.
std::optional<std::string> ToText(std::string s) {
  static constexpr std::string_view kTyped[] = {"@Variant(", "@DateTime(", "@Rect(", "@Size(",
                                                "@Point("};
  if (s.starts_with('@') && s.ends_with(')')) {
    for (const std::string_view prefix : {"@ByteArray(", "@String("}) {
      if (s.starts_with(prefix)) {
        return s.substr(prefix.size(), s.size() - prefix.size() - 1);
      }
    }
    if (std::any_of(std::begin(kTyped), std::end(kTyped),
                    [&s](std::string_view prefix) { return s.starts_with(prefix); })) {
      return std::string();
    }
    if (s == "@Invalid()") {
      return std::nullopt;
    }
  }
  return s.starts_with("@@") ? s.substr(1) : s;
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

std::map<std::string, std::string, std::less<>> ReadGroup(std::string_view data,
                                                          std::string_view group) {
  std::map<std::string, std::string, std::less<>> values;
  bool in_group = false;
  std::size_t pos = FirstLine(data);
  for (Line line; NextLine(data, pos, line);) {
    if (data[line.start] == '[') {
      in_group = SectionName(data, line) == group;
    } else if (line.equals != kNone && in_group) {
      const std::string_view key = KeyOf(data, line);
      if (auto text =
              ToText(UnescapeValue(data.substr(line.equals + 1, line.end - line.equals - 1)))) {
        values.insert_or_assign(std::string(key), std::move(*text));
      } else if (const auto found = values.find(key); found != values.end()) {
        values.erase(found);  // a later @Invalid() reads as a missing value
      }
    }
  }
  return values;
}

std::string WithValue(std::string_view data, std::string_view group, std::string_view key,
                      std::string_view written_value) {
  std::vector<std::pair<std::size_t, std::size_t>> removed;  // physical lines of old definitions
  std::size_t insert_at = kNone;  // after the last line of the group's last section
  bool in_group = false;
  std::size_t pos = FirstLine(data);
  for (Line line; NextLine(data, pos, line);) {
    if (data[line.start] == '[') {
      in_group = SectionName(data, line) == group;
    } else if (line.equals != kNone && in_group && KeyOf(data, line) == key) {
      removed.emplace_back(PhysicalStart(data, line.start), PhysicalEnd(data, line.end));
    } else if (line.equals == kNone) {
      continue;
    }
    if (in_group) {
      insert_at = PhysicalEnd(data, line.end);
    }
  }
  const std::string new_line = std::string(key) + '=' + std::string(written_value) + '\n';
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
    return out + '[' + std::string(group) + "]\n" + new_line;
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
    return "\\x" + digits + kHex[c % 16];
  };
  std::string value = text.starts_with('@') ? "@" : "";
  value += text;
  std::string out;
  bool needs_quotes = false;
  bool escape_hex_digit = false;  // after \x or \0, a hex digit must not read as part of it
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    needs_quotes = needs_quotes || c == ';' || c == ',' || c == '=';
    const auto* simple = std::find_if(kEscapes, kEscapes + kWrittenEscapes,
                                      [c](const char(&pair)[2]) { return pair[1] == c; });
    if (escape_hex_digit && HexDigit(c) >= 0) {
      out += hex(byte);
    } else if (c == '\0') {
      out += "\\0";
    } else if (simple != kEscapes + kWrittenEscapes) {
      out += {'\\', (*simple)[0]};
    } else {
      out += byte <= 0x1F ? hex(byte) : std::string(1, c);  // UTF-8 as it stands
    }
    escape_hex_digit = (escape_hex_digit && HexDigit(c) >= 0) ||
                       (byte <= 0x1F && simple == kEscapes + kWrittenEscapes);
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
