// The texts a recorded page draws, read back from its text records: what a
// reader of the page picture finds, not what the report meant to draw.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hy {

class TMetafile;

struct TKyRPageText {
  int32_t X = 0;  // reference point of the record (top-left of the text)
  int32_t Y = 0;
  std::string Text;  // UTF-8
};

// In record order; EEmfError when the picture is unsound.
std::vector<TKyRPageText> PageTexts(const TMetafile& picture);

}  // namespace hy
