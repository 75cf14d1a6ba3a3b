#include "platform/gdi/Fonts.h"

#include <cmath>
#include <unordered_map>

#include <QGuiApplication>
#include <QString>

#include "platform/gdi/Bytes.h"
#include "platform/gdi/GdiTypes.h"

namespace hy {

// ---- TFont ----

TFont::TFont(std::string name, int32_t height, TFontStyles style, TColor color)
    : name_(std::move(name)), height_(height), style_(style), color_(color) {}

TFont::TFont(const TFont& other)
    : name_(other.name_),
      height_(other.height_),
      style_(other.style_),
      color_(other.color_),
      charset_(other.charset_),
      pitch_(other.pitch_) {}

TFont& TFont::operator=(const TFont& other) {
  if (this == &other) return *this;
  bool same = *this == other;
  name_ = other.name_;
  height_ = other.height_;
  style_ = other.style_;
  color_ = other.color_;
  charset_ = other.charset_;
  pitch_ = other.pitch_;
  if (!same) Changed();
  return *this;
}

void TFont::Changed() {
  if (onChange_) onChange_();
}

void TFont::SetName(std::string name) {
  if (name == name_) return;
  name_ = std::move(name);
  Changed();
}

void TFont::SetHeight(int32_t height) {
  if (height == height_) return;
  height_ = height;
  Changed();
}

int32_t TFont::Size() const {
  return -int32_t(std::lround(double(height_) * 72.0 / kScreenPixelsPerInch));
}

void TFont::SetSize(int32_t points) {
  SetHeight(-int32_t(std::lround(double(points) * kScreenPixelsPerInch / 72.0)));
}

void TFont::SetStyle(TFontStyles style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TFont::SetCharset(uint8_t charset) {
  if (charset == charset_) return;
  charset_ = charset;
  Changed();
}

void TFont::SetPitch(TFontPitch pitch) {
  if (pitch == pitch_) return;
  pitch_ = pitch;
  Changed();
}

bool TFont::SameShape(const TFont& other) const {
  return height_ == other.height_ && style_ == other.style_ && charset_ == other.charset_ &&
         pitch_ == other.pitch_ && name_ == other.name_;
}

// ---- face substitution ----

namespace {

struct TFaceMap {
  const char* face;
  const char* installed;
};

// Liberation faces are metric-compatible with the faces they replace, so
// layouts keep their line breaks; DejaVu Sans is Verdana's width.
constexpr TFaceMap kFaceMap[] = {
    {"MS Sans Serif", "Liberation Sans"},
    {"Microsoft Sans Serif", "Liberation Sans"},
    {"MS Shell Dlg", "Liberation Sans"},
    {"MS Shell Dlg 2", "Liberation Sans"},
    {"System", "Liberation Sans"},
    {"Arial", "Liberation Sans"},
    {"Arial Narrow", "Liberation Sans"},
    {"Helvetica", "Liberation Sans"},
    {"Tahoma", "Liberation Sans"},
    {"Segoe UI", "Liberation Sans"},
    {"Trebuchet MS", "Liberation Sans"},
    {"Small Fonts", "Liberation Sans"},
    {"Verdana", "DejaVu Sans"},
    {"Lucida Sans Unicode", "DejaVu Sans"},
    {"Symbol", "DejaVu Sans"},
    {"Wingdings", "DejaVu Sans"},
    {"Times New Roman", "Liberation Serif"},
    {"Times", "Liberation Serif"},
    {"MS Serif", "Liberation Serif"},
    {"Georgia", "Liberation Serif"},
    {"Book Antiqua", "Liberation Serif"},
    {"Garamond", "Liberation Serif"},
    {"Courier New", "Liberation Mono"},
    {"Courier", "Liberation Mono"},
    {"Lucida Console", "Liberation Mono"},
    {"Consolas", "Liberation Mono"},
    {"Fixedsys", "Liberation Mono"},
    {"Terminal", "Liberation Mono"},
};

bool SameFace(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x + 32);
    if (y >= 'A' && y <= 'Z') y = char(y + 32);
    if (x != y) return false;
  }
  return true;
}

void RequireGuiApplication() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    throw EGdiError("Fonts and text metrics need a running graphical application");
}

// Ratio of em size to ascent + descent per family, to turn a positive (cell)
// height into a pixel size.
double EmPerCellHeight(const QString& family) {
  static auto* cache = new std::unordered_map<std::u16string, double>;
  static const void* owner = nullptr;
  if (owner != QCoreApplication::instance()) {
    cache->clear();  // plain numbers: safe to drop
    owner = QCoreApplication::instance();
  }
  std::u16string key(reinterpret_cast<const char16_t*>(family.utf16()), size_t(family.size()));
  auto it = cache->find(key);
  if (it != cache->end()) return it->second;
  QFont probe(family);
  probe.setPixelSize(100);
  probe.setHintingPreference(QFont::PreferNoHinting);
  QFontMetricsF m(probe);
  double cell = m.ascent() + m.descent();
  double ratio = cell > 1 ? 100.0 / cell : 1.0;
  cache->emplace(std::move(key), ratio);
  return ratio;
}

}  // namespace

std::string MapFontFace(std::string_view face) {
  if (face.empty()) return "Liberation Sans";
  for (const TFaceMap& m : kFaceMap)
    if (SameFace(face, m.face)) return m.installed;
  return std::string(face);
}

QFont ToQFont(std::string_view face, int32_t height, int32_t weight, bool italic, bool underline,
              bool strikeOut, uint8_t pitchAndFamily) {
  RequireGuiApplication();
  QString family = QString::fromStdString(MapFontFace(face));
  QFont f(family);
  f.setHintingPreference(QFont::PreferNoHinting);
  f.setKerning(false);
  f.setStyleStrategy(QFont::PreferOutline);
  int64_t px;
  if (height < 0) {
    px = -int64_t(height);
  } else if (height > 0) {
    px = std::llround(double(height) * EmPerCellHeight(family));
  } else {
    px = 12;  // the desktop's default height
  }
  f.setPixelSize(int(std::clamp<int64_t>(px, 1, 32767)));
  if (weight > 0) f.setWeight(QFont::Weight(std::clamp(weight, 1, 1000)));
  f.setItalic(italic);
  f.setUnderline(underline);
  f.setStrikeOut(strikeOut);
  if ((pitchAndFamily & 0x0F) == 1) {
    f.setFixedPitch(true);
    f.setStyleHint(QFont::TypeWriter);
  }
  return f;
}

QFont ToQFont(const TFont& font) {
  return ToQFont(font.Name(), font.Height(), font.HasStyle(fsBold) ? 700 : 400,
                 font.HasStyle(fsItalic), font.HasStyle(fsUnderline), font.HasStyle(fsStrikeOut),
                 font.Pitch() == fpFixed      ? 1
                 : font.Pitch() == fpVariable ? 2
                                              : 0);
}

// ---- metrics ----

TTextMetrics::TTextMetrics(const TFont& font) : TTextMetrics(ToQFont(font)) {}

TTextMetrics::TTextMetrics(const QFont& font)
    : font_(font), metrics_(std::make_shared<QFontMetricsF>(font)) {
  ascent_ = int32_t(std::lround(metrics_->ascent()));
  descent_ = int32_t(std::lround(metrics_->descent()));
  aveCharWidth_ = std::max<int32_t>(1, int32_t(std::lround(metrics_->averageCharWidth())));
}

int32_t TTextMetrics::Advances(std::u16string_view text, std::vector<int32_t>& dx) const {
  dx.resize(text.size());
  double pos = 0;
  int32_t prev = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      QChar pair[2] = {QChar(c), QChar(text[i + 1])};
      pos += metrics_->horizontalAdvance(QString(pair, 2));
      int32_t r = int32_t(std::lround(pos));
      dx[i] = r - prev;
      dx[i + 1] = 0;
      prev = r;
      ++i;
      continue;
    }
    pos += metrics_->horizontalAdvance(QChar(c));
    int32_t r = int32_t(std::lround(pos));
    dx[i] = r - prev;
    prev = r;
  }
  return prev;
}

int32_t TTextMetrics::TextWidth(std::u16string_view text) const {
  thread_local std::vector<int32_t> dx;
  return Advances(text, dx);
}

int32_t TTextMetrics::TextWidth(std::string_view utf8) const {
  return TextWidth(le::Utf8To16(utf8));
}

TTextMetrics MetricsFor(const TFont& font) {
  struct TEntry {
    TFont font;
    TTextMetrics metrics;
  };
  // Leaked on purpose: Qt font objects must not be destroyed after the
  // application object at process exit.
  static std::vector<TEntry>* cache = nullptr;
  static const void* owner = nullptr;
  if (!cache || owner != QCoreApplication::instance()) {
    cache = new std::vector<TEntry>;
    owner = QCoreApplication::instance();
  }
  for (size_t i = 0; i < cache->size(); ++i) {
    if ((*cache)[i].font.SameShape(font)) {
      if (i > 0) std::swap((*cache)[i], (*cache)[0]);  // most recent first
      return (*cache)[0].metrics;
    }
  }
  constexpr size_t kCapacity = 16;
  TEntry entry{font, TTextMetrics(font)};
  if (cache->size() >= kCapacity) cache->pop_back();
  cache->insert(cache->begin(), std::move(entry));
  return (*cache)[0].metrics;
}

int32_t TextWidth(const TFont& font, std::string_view utf8) {
  return MetricsFor(font).TextWidth(utf8);
}

int32_t TextHeight(const TFont& font) { return MetricsFor(font).LineHeight(); }

}  // namespace hy
