#include "platform/gdi/TextLayout.h"

namespace hy {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string StripPrefixes(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&') {
      if (i + 1 < text.size()) out += text[++i];  // "&&" -> "&", "&x" -> "x"
      continue;
    }
    out += text[i];
  }
  return out;
}

int32_t TabAdvance(int32_t x, int32_t tabWidth) { return (x / tabWidth + 1) * tabWidth - x; }

// Advance of unit i when the line so far is x wide.
int32_t UnitAdvance(char16_t c, int32_t raw, int32_t x, bool expandTabs, int32_t tabWidth) {
  return (c == u'\t' && expandTabs) ? TabAdvance(x, tabWidth) : raw;
}

void AddLine(TTextLayout& layout, std::u16string_view para, const std::vector<int32_t>& raw,
             size_t begin, size_t end, bool expandTabs, int32_t tabWidth) {
  TTextLine line;
  line.Text.assign(para.substr(begin, end - begin));
  line.Dx.resize(end - begin);
  int32_t x = 0;
  for (size_t i = begin; i < end; ++i) {
    int32_t a = UnitAdvance(para[i], raw[i], x, expandTabs, tabWidth);
    line.Dx[i - begin] = a;
    x += a;
  }
  line.Width = x;
  layout.Width = std::max(layout.Width, x);
  layout.Lines.push_back(std::move(line));
}

void BreakParagraph(TTextLayout& layout, const TTextMetrics& metrics, std::u16string_view para,
                    int32_t width, uint32_t flags, std::vector<int32_t>& raw) {
  bool expandTabs = flags & DT_EXPANDTABS;
  int32_t tabWidth = 8 * metrics.AveCharWidth();
  metrics.Advances(para, raw);
  size_t n = para.size();
  if (!(flags & DT_WORDBREAK) || n == 0) {
    AddLine(layout, para, raw, 0, n, expandTabs, tabWidth);
    return;
  }
  size_t start = 0;
  while (start < n) {
    int32_t x = 0;
    size_t breakEnd = 0, breakNext = 0;  // last fitting break: line end, next line start
    bool haveBreak = false;
    size_t i = start;
    for (; i < n; ++i) {
      char16_t c = para[i];
      if (IsBlank(c) && i > start && !IsBlank(para[i - 1])) {
        // end of a word: a break may go here when the words so far fit
        if (x <= width || !haveBreak) {
          breakEnd = i;
          size_t next = i;
          while (next < n && IsBlank(para[next])) ++next;
          breakNext = next;
          haveBreak = true;
          if (x > width) break;  // a lone overlong word
        } else {
          break;
        }
      }
      int32_t a = UnitAdvance(c, raw[i], x, expandTabs, tabWidth);
      if (!IsBlank(c) && x + a > width && haveBreak) break;
      x += a;
    }
    if (i >= n) {
      // the rest fits (or is one overlong word): it is the last line
      AddLine(layout, para, raw, start, n, expandTabs, tabWidth);
      return;
    }
    AddLine(layout, para, raw, start, breakEnd, expandTabs, tabWidth);
    start = breakNext;
  }
}

}  // namespace

TTextLayout LayoutText(const TTextMetrics& metrics, std::u16string_view text, int32_t width,
                       uint32_t flags) {
  TTextLayout layout;
  layout.LineHeight = metrics.LineHeight();
  std::u16string stripped;
  if (!(flags & DT_NOPREFIX)) {
    stripped = StripPrefixes(text);
    text = stripped;
  }
  std::vector<int32_t> raw;
  if (flags & DT_SINGLELINE) {
    std::u16string one(text);
    for (char16_t& c : one)
      if (c == u'\r' || c == u'\n') c = u' ';
    if (!one.empty()) {
      // a single line never breaks
      BreakParagraph(layout, metrics, one, width, flags & ~DT_WORDBREAK, raw);
    }
  } else {
    size_t pos = 0;
    while (pos < text.size()) {
      size_t end = pos;
      while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
      BreakParagraph(layout, metrics, text.substr(pos, end - pos), width, flags, raw);
      if (end >= text.size()) break;
      if (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') ++end;
      pos = end + 1;
    }
  }
  layout.Height = layout.LineHeight * int32_t(layout.Lines.size());
  return layout;
}

void PlaceLines(TTextLayout& layout, const TRect& rect, uint32_t flags) {
  int32_t y = rect.Top;
  if (flags & DT_SINGLELINE) {
    if (flags & DT_BOTTOM) y = rect.Bottom - layout.Height;
    else if (flags & DT_VCENTER) y = rect.Top + (rect.Height() - layout.Height) / 2;
  }
  for (TTextLine& line : layout.Lines) {
    if (flags & DT_RIGHT) line.X = rect.Right - line.Width;
    else if (flags & DT_CENTER) line.X = rect.Left + (rect.Width() - line.Width) / 2;
    else line.X = rect.Left;
    line.Y = y;
    y += layout.LineHeight;
  }
}

int32_t DrawTextResult(const TTextLayout& layout, const TRect& rect, uint32_t flags) {
  if ((flags & DT_SINGLELINE) && (flags & (DT_VCENTER | DT_BOTTOM)) && !layout.Lines.empty())
    return layout.Lines.back().Y + layout.LineHeight - rect.Top;
  return layout.Height;
}

}  // namespace hy
