// Font descriptions, the substitution of faces Linux lacks, and text metrics
// measured by Qt. Metrics are taken unhinted and without kerning, so that a
// text measures the same at every zoom and the sum of its character
// advances is its width.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QFont>
#include <QFontMetricsF>

#include "platform/gdi/Colors.h"

namespace hy {

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;  // set of TFontStyle bits

enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };

// Character sets of the logical font.
constexpr uint8_t ANSI_CHARSET = 0;
constexpr uint8_t DEFAULT_CHARSET = 1;
constexpr uint8_t SYMBOL_CHARSET = 2;
constexpr uint8_t OEM_CHARSET = 255;

constexpr int kScreenPixelsPerInch = 96;  // the reference device of every page

// A font description: face, height in pixels (negative: character height,
// positive: cell height), style set, colour, character set and pitch.
class TFont {
public:
  TFont() = default;
  TFont(std::string name, int32_t height, TFontStyles style = 0, TColor color = clWindowText);
  TFont(const TFont& other);
  TFont& operator=(const TFont& other);  // copies the attributes, keeps the handler

  const std::string& Name() const { return name_; }
  void SetName(std::string name);
  int32_t Height() const { return height_; }
  void SetHeight(int32_t height);
  // Size in points at the reference 96 pixels per inch (8 pt = height -11).
  int32_t Size() const;
  void SetSize(int32_t points);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  bool HasStyle(TFontStyle s) const { return (style_ & s) != 0; }
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  uint8_t Charset() const { return charset_; }
  void SetCharset(uint8_t charset);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch pitch);

  void Assign(const TFont& other) { *this = other; }
  // Fired after any attribute changed (not on construction).
  void SetOnChange(std::function<void()> handler) { onChange_ = std::move(handler); }

  // Same face, height, style, character set and pitch (colour not compared).
  bool SameShape(const TFont& other) const;
  friend bool operator==(const TFont& a, const TFont& b) {
    return a.SameShape(b) && a.color_ == b.color_;
  }

private:
  void Changed();

  std::string name_ = "MS Sans Serif";
  int32_t height_ = -11;
  TFontStyles style_ = 0;
  TColor color_ = clWindowText;
  uint8_t charset_ = DEFAULT_CHARSET;
  TFontPitch pitch_ = fpDefault;
  std::function<void()> onChange_;
};

// The installed face that stands in for `face` ("MS Sans Serif" -> "Liberation
// Sans"); faces the table does not know are returned unchanged.
std::string MapFontFace(std::string_view face);

// A Qt font for a description: mapped face, pixel size, weight and styles.
// Needs a QGuiApplication (EGdiError otherwise).
QFont ToQFont(const TFont& font);
// The same for the fields of a logical font record.
QFont ToQFont(std::string_view face, int32_t height, int32_t weight, bool italic, bool underline,
              bool strikeOut, uint8_t pitchAndFamily);

// Metrics of one font. Cheap to copy (shares the Qt objects).
class TTextMetrics {
public:
  explicit TTextMetrics(const TFont& font);
  explicit TTextMetrics(const QFont& font);

  const QFont& Font() const { return font_; }
  int32_t Ascent() const { return ascent_; }
  int32_t Descent() const { return descent_; }
  int32_t LineHeight() const { return ascent_ + descent_; }  // the height of "Wg"
  int32_t AveCharWidth() const { return aveCharWidth_; }

  // Whole-pixel advances of the UTF-16 units of `text`, rounded so that they
  // add up to the rounded width (the second unit of a surrogate pair gets 0).
  // Returns the total width. `dx` is resized to text.size().
  int32_t Advances(std::u16string_view text, std::vector<int32_t>& dx) const;
  int32_t TextWidth(std::u16string_view text) const;
  int32_t TextWidth(std::string_view utf8) const;

private:
  QFont font_;
  std::shared_ptr<QFontMetricsF> metrics_;
  int32_t ascent_ = 0;
  int32_t descent_ = 0;
  int32_t aveCharWidth_ = 0;
};

// Metrics of a description, from a small cache (fonts repeat on every page).
TTextMetrics MetricsFor(const TFont& font);

int32_t TextWidth(const TFont& font, std::string_view utf8);
int32_t TextHeight(const TFont& font);  // line height: the height of "Wg"

}  // namespace hy
