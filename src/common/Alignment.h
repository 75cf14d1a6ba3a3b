#pragma once

namespace hy {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

}  // namespace hy
