#include "scan/first_volume.h"

#include "scan/text_util.h"

namespace qs {

bool IsFirstVolumeCandidate(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  const std::string ext = ToUpperAscii(dot == std::string_view::npos ? name : name.substr(dot + 1));
  if (ext != "RAR" && ext != "001" && ext != "ZIP") {
    return false;
  }
  const std::size_t part = name.find(".part");
  if (part == std::string_view::npos) {
    return true;
  }
  std::string_view number = name.substr(part + 1);
  number = number.substr(0, number.find('.'));
  const std::string upper = ToUpperAscii(number);
  return upper == "PART1" || upper == "PART01" || upper == "PART001";
}

}  // namespace qs
