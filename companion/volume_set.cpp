#include "companion/volume_set.h"

#include <cctype>
#include <cstddef>
#include <optional>

namespace qs {

namespace {

// Enough for any real set; it only keeps a misbehaving `exists` from looping for ever.
constexpr unsigned long kMaxVolumes = 100000;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) {
    return false;
  }
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) {
      return false;
    }
  }
  return true;
}

// The number, zero-padded to at least `width` digits: part99 is followed by part100.
std::string Padded(unsigned long number, std::size_t width) {
  std::string digits = std::to_string(number);
  if (digits.size() < width) {
    digits.insert(0, width - digits.size(), '0');
  }
  return digits;
}

struct NameParts {
  std::size_t name_start;  // index of the file name within the path
  std::size_t last_dot;    // npos when the name has no extension
};

NameParts SplitName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
  std::size_t last_dot = path.rfind('.');
  if (last_dot != std::string_view::npos && last_dot < name_start) {
    last_dot = std::string_view::npos;
  }
  return {name_start, last_dot};
}

// For "x.part07.rar": the index of "07" within the path and its length.
struct PartNumber {
  std::size_t digits_start;
  std::size_t digits_length;
};

std::optional<PartNumber> FindPartNumber(std::string_view path, const NameParts& parts) {
  if (parts.last_dot == std::string_view::npos ||
      !EqualsIgnoringCase(path.substr(parts.last_dot + 1), "rar")) {
    return std::nullopt;
  }
  const std::string_view stem = path.substr(0, parts.last_dot);
  const std::size_t dot = stem.rfind('.');
  if (dot == std::string_view::npos || dot < parts.name_start) {
    return std::nullopt;
  }
  const std::string_view segment = stem.substr(dot + 1);
  constexpr std::string_view kPart = "part";
  if (segment.size() <= kPart.size() ||
      !EqualsIgnoringCase(segment.substr(0, kPart.size()), kPart) ||
      !AllDigits(segment.substr(kPart.size()))) {
    return std::nullopt;
  }
  return PartNumber{dot + 1 + kPart.size(), segment.size() - kPart.size()};
}

unsigned long ParseNumber(std::string_view digits) {
  unsigned long value = 0;
  for (char c : digits) {
    value = value * 10 + static_cast<unsigned long>(c - '0');
    if (value > kMaxVolumes) {
      break;
    }
  }
  return value;
}

// Replaces [start, start + length) of `path` by the successive numbers after the one there.
std::vector<std::string> NumberedVolumes(std::string_view path, std::size_t start,
                                         std::size_t length, const PathExists& exists) {
  std::vector<std::string> volumes{std::string(path)};
  const std::string head(path.substr(0, start));
  const std::string tail(path.substr(start + length));
  unsigned long number = ParseNumber(path.substr(start, length));
  for (unsigned long count = 1; count < kMaxVolumes; ++count) {
    std::string next = head + Padded(++number, length) + tail;
    if (!exists(next)) {
      break;
    }
    volumes.push_back(std::move(next));
  }
  return volumes;
}

// x.rar, then x.r00 … x.r99, x.s00 … x.s99 and so on up to x.z99, as RAR names them.
std::vector<std::string> OldStyleVolumes(std::string_view path, std::size_t last_dot,
                                         const PathExists& exists) {
  std::vector<std::string> volumes{std::string(path)};
  const std::string head(path.substr(0, last_dot + 1));
  const bool upper = std::isupper(static_cast<unsigned char>(path[last_dot + 1])) != 0;
  for (char letter = 'r'; letter <= 'z'; ++letter) {
    const char shown =
        upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(letter))) : letter;
    for (int number = 0; number <= 99; ++number) {
      std::string next = head + shown + Padded(static_cast<unsigned long>(number), 2);
      if (!exists(next)) {
        return volumes;
      }
      volumes.push_back(std::move(next));
    }
  }
  return volumes;
}

}  // namespace

VolumeNaming ClassifyVolumeName(std::string_view path) {
  const NameParts parts = SplitName(path);
  if (parts.last_dot == std::string_view::npos) {
    return VolumeNaming::kSingleFile;
  }
  if (FindPartNumber(path, parts)) {
    return VolumeNaming::kPartNumbered;
  }
  const std::string_view extension = path.substr(parts.last_dot + 1);
  if (EqualsIgnoringCase(extension, "rar")) {
    return VolumeNaming::kOldStyleRar;
  }
  if (AllDigits(extension)) {
    return VolumeNaming::kSplitNumbered;
  }
  return VolumeNaming::kSingleFile;
}

std::vector<std::string> FindVolumes(std::string_view first_volume, const PathExists& exists) {
  const NameParts parts = SplitName(first_volume);
  switch (ClassifyVolumeName(first_volume)) {
    case VolumeNaming::kPartNumbered: {
      const PartNumber part = *FindPartNumber(first_volume, parts);
      return NumberedVolumes(first_volume, part.digits_start, part.digits_length, exists);
    }
    case VolumeNaming::kOldStyleRar:
      return OldStyleVolumes(first_volume, parts.last_dot, exists);
    case VolumeNaming::kSplitNumbered:
      return NumberedVolumes(first_volume, parts.last_dot + 1,
                             first_volume.size() - parts.last_dot - 1, exists);
    case VolumeNaming::kSingleFile:
      break;
  }
  return {std::string(first_volume)};
}

}  // namespace qs
