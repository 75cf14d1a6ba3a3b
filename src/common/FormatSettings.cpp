#include "common/FormatSettings.h"

namespace hy {

TFormatSettings& FormatSettings() {
  static TFormatSettings settings = TFormatSettings::EnglishUS();
  return settings;
}

}  // namespace hy
