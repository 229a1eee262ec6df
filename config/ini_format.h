// The INI text QSettings (Qt 6) reads and writes on Linux: its lines, sections and the
// escaping and quoting of values, so that the file stays shared with programs that use QSettings.
// Pure functions over the file's bytes (UTF-8).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace qs::ini {

// Every key of the sections named `group` ("Settings") in `data` with its text as QSettings
// hands it back (a later definition wins; @Invalid() counts as none). QSettings looks up a key of
// a group in that group's sections only, so a [General] line "Settings\Key=" does not count.
// Keys and section names are taken as they stand: the program's own are plain ASCII, which
// QSettings writes unescaped.
std::map<std::string, std::string, std::less<>> ReadGroup(std::string_view data,
                                                          std::string_view group);

// `data` with `key` of `group` set to `written_value` (already escaped by EscapeText or a
// number), every other byte kept: other groups, comments and the order of the file stay as they
// are. Earlier definitions of the key are removed; the line goes into the group's last section,
// which is added at the end when there is none.
std::string WithValue(std::string_view data, std::string_view group, std::string_view key,
                      std::string_view written_value);

// A string as QSettings writes it: a leading '@' doubled, control characters, quotes and
// backslashes escaped, and the whole quoted when it holds ';', ',' or '=' or starts or ends
// with a blank.
std::string EscapeText(std::string_view text);

// QSettings' reading of a number (QVariant::toInt of the text): optional blanks, an optional
// sign, decimal digits within 64 bits, cut to 32 bits. False for anything else.
bool ParseInt(std::string_view text, std::int32_t& value);

}  // namespace qs::ini
