// `hycube emf`: look into page pictures without a window.
//   hycube emf info FILE                          header and every record
//   hycube emf render FILE OUT.png [--scale PCT]  play the picture onto an image
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include "app/cli/Commands.h"
#include "platform/gdi/Bitmap.h"
#include "platform/gdi/EmfPlayer.h"
#include "platform/gdi/EmfRecords.h"
#include "platform/gdi/GuiApp.h"
#include "platform/gdi/Metafile.h"

namespace hy::cli {

namespace {

const char kUsage[] =
    "usage: hycube emf info FILE\n"
    "       hycube emf render FILE OUT.png [--scale PERCENT]\n"
    "\n"
    "  info     print the picture's header and one line per record\n"
    "           (offset, type, size and what the record draws or sets)\n"
    "  render   play the picture onto a white image and write it as PNG\n"
    "\n"
    "  --scale PERCENT   image size in percent of the page size (1 to 1000,\n"
    "                    default 100: one pixel per page unit)\n"
    "  --help            show this text\n";

int UsageError(const char* message) {
  std::fprintf(stderr, "hycube emf: %s\n\n%s", message, kUsage);
  return 2;
}

std::string RectText(const TRect& r) {
  return std::to_string(r.Left) + "," + std::to_string(r.Top) + " - " + std::to_string(r.Right) +
         "," + std::to_string(r.Bottom);
}

// A destination given as origin and extent, summed wide: a damaged record may hold any values.
std::string DestText(int32_t x, int32_t y, int32_t cx, int32_t cy) {
  return std::to_string(x) + "," + std::to_string(y) + " - " + std::to_string(int64_t(x) + cx) +
         "," + std::to_string(int64_t(y) + cy);
}

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%08X", unsigned(v));
  return buf;
}

std::string HandleText(uint32_t h) {
  static const char* const kStock[] = {"WHITE_BRUSH",
                                       "LTGRAY_BRUSH",
                                       "GRAY_BRUSH",
                                       "DKGRAY_BRUSH",
                                       "BLACK_BRUSH",
                                       "NULL_BRUSH",
                                       "WHITE_PEN",
                                       "BLACK_PEN",
                                       "NULL_PEN",
                                       "(9)",
                                       "OEM_FIXED_FONT",
                                       "ANSI_FIXED_FONT",
                                       "ANSI_VAR_FONT",
                                       "SYSTEM_FONT",
                                       "DEVICE_DEFAULT_FONT",
                                       "DEFAULT_PALETTE",
                                       "SYSTEM_FIXED_FONT",
                                       "DEFAULT_GUI_FONT",
                                       "DC_BRUSH",
                                       "DC_PEN"};
  if (h & emf::STOCK_OBJECT) {
    uint32_t i = h & ~emf::STOCK_OBJECT;
    return std::string("stock ") + (i < 20 ? kStock[i] : std::to_string(i).c_str());
  }
  return "handle " + std::to_string(h);
}

std::string Quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", unsigned(static_cast<unsigned char>(c)));
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Details(const TEmfRecord& r) {
  using namespace emf;
  switch (r.Type) {
    case EMR_SETBKMODE: {
      uint32_t m = ReadValue(r);
      return m == TRANSPARENT ? "transparent" : m == OPAQUE ? "opaque" : std::to_string(m);
    }
    case EMR_SETTEXTALIGN:
    case EMR_SETMAPMODE:
    case EMR_SETPOLYFILLMODE:
    case EMR_SETROP2:
    case EMR_SETSTRETCHBLTMODE: return std::to_string(ReadValue(r));
    case EMR_RESTOREDC: return std::to_string(int32_t(ReadValue(r)));
    case EMR_SETTEXTCOLOR:
    case EMR_SETBKCOLOR: return Hex(ReadColor(r));
    case EMR_MOVETOEX:
    case EMR_LINETO:
    case EMR_SETWINDOWEXTEX:
    case EMR_SETWINDOWORGEX:
    case EMR_SETVIEWPORTEXTEX:
    case EMR_SETVIEWPORTORGEX: {
      TPoint p = ReadPoint(r);
      return "(" + std::to_string(p.X) + "," + std::to_string(p.Y) + ")";
    }
    case EMR_RECTANGLE:
    case EMR_ELLIPSE:
    case EMR_INTERSECTCLIPRECT:
    case EMR_EXCLUDECLIPRECT: return RectText(ReadBox(r));
    case EMR_SELECTOBJECT:
    case EMR_DELETEOBJECT: return HandleText(ReadValue(r));
    case EMR_CREATEPEN:
    case EMR_EXTCREATEPEN: {
      TEmrCreatePen p = ReadCreatePen(r);
      return HandleText(p.Handle) + ": style " + std::to_string(p.Style) + " width " +
             std::to_string(p.Width) + " colour " + Hex(p.Color);
    }
    case EMR_CREATEBRUSHINDIRECT: {
      TEmrCreateBrush b = ReadCreateBrush(r);
      return HandleText(b.Handle) + ": style " + std::to_string(b.Style) + " colour " +
             Hex(b.Color) + " hatch " + std::to_string(b.Hatch);
    }
    case EMR_EXTCREATEFONTINDIRECTW: {
      TEmrCreateFont f = ReadCreateFont(r);
      const TLogFont& lf = f.LogFont;
      return HandleText(f.Handle) + ": " + Quoted(lf.FaceName) + " height " +
             std::to_string(lf.Height) + " weight " + std::to_string(lf.Weight) +
             (lf.Italic ? " italic" : "") + (lf.Underline ? " underline" : "") +
             (lf.StrikeOut ? " strike-out" : "") + " charset " + std::to_string(lf.CharSet);
    }
    case EMR_EXTTEXTOUTW:
    case EMR_EXTTEXTOUTA: {
      TEmrExtTextOut t = ReadExtTextOut(r);
      return Quoted(t.Text()) + " at (" + std::to_string(t.Reference.X) + "," +
             std::to_string(t.Reference.Y) + ") bounds " + RectText(t.Bounds) + " options " +
             Hex(t.Options);
    }
    case EMR_BITBLT:
    case EMR_STRETCHBLT: {
      TEmrBitBlt b = ReadBitBlt(r);
      std::string s =
          "dest " + DestText(b.XDest, b.YDest, b.CxDest, b.CyDest) + " rop " + Hex(b.Rop);
      return s + (b.HasSource() ? " with bitmap" : " fill");
    }
    case EMR_STRETCHDIBITS: {
      TEmrStretchDIBits d = ReadStretchDIBits(r);
      return "dest " + DestText(d.XDest, d.YDest, d.CxDest, d.CyDest) + " source " +
             std::to_string(d.CxSrc) + " x " + std::to_string(d.CySrc) + ", " +
             std::to_string(d.Source.BitsSize) + " bytes of pixels";
    }
    case EMR_POLYLINE16:
    case EMR_POLYGON16:
    case EMR_POLYLINE:
    case EMR_POLYGON: return std::to_string(ReadPoly(r).Count) + " points";
    default: return {};
  }
}

int Info(const std::string& file) {
  TMetafile picture;
  picture.LoadFromFile(file);
  TEmfHeader h = picture.Header();
  std::printf("File:        %s\n", file.c_str());
  std::printf("Size:        %u bytes, %u records, %u handles\n", unsigned(h.Bytes),
              unsigned(h.Records), unsigned(h.Handles));
  std::printf("Page:        %d x %d page units\n", picture.Width(), picture.Height());
  std::printf("Bounds:      %s (device pixels)\n", RectText(h.Bounds).c_str());
  std::printf("Frame:       %s (.01 mm)\n", RectText(h.Frame).c_str());
  std::printf("Device:      %d x %d pixels, %d x %d mm\n", h.Device.Cx, h.Device.Cy,
              h.Millimeters.Cx, h.Millimeters.Cy);
  std::printf("Creator:     %s\n", h.Creator().c_str());
  std::printf("Description: %s\n\n", h.Title().c_str());
  std::printf("%6s %8s  %-28s %7s  %s\n", "#", "offset", "type", "size", "details");
  EnumerateMetafile(picture, [](const TEmfRecord& r) {
    const char* name = emf::RecordName(r.Type);
    std::string type = name ? name : "type " + std::to_string(r.Type);
    std::string details;
    try {
      details = Details(r);
    } catch (const EGdiError& e) {
      details = std::string("damaged: ") + e.what();
    }
    std::printf("%6u %8u  %-28s %7u  %s\n", unsigned(r.Index), unsigned(r.Offset), type.c_str(),
                unsigned(r.Size), details.c_str());
  });
  return 0;
}

int Render(const std::string& file, const std::string& out, int scale) {
  TMetafile picture;
  picture.LoadFromFile(file);
  EnsureGuiApplication();
  QImage image = RenderMetafile(picture, scale / 100.0);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) throw EGdiError("Cannot encode the image as PNG");
  WriteFileAtomically(out, std::vector<uint8_t>(png.begin(), png.end()));
  std::printf("Wrote %s (%d x %d pixels)\n", out.c_str(), image.width(), image.height());
  return 0;
}

}  // namespace

int CmdEmf(const Args& args) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  if (args.empty()) return UsageError("missing subcommand (info or render)");
  const std::string& sub = args[0];
  if (sub == "info") {
    if (args.size() != 2) return UsageError("info takes exactly one FILE");
    return Info(args[1]);
  }
  if (sub == "render") {
    std::vector<std::string> files;
    int scale = 100;
    for (size_t i = 1; i < args.size(); ++i) {
      if (args[i] == "--scale") {
        if (i + 1 >= args.size()) return UsageError("--scale needs a PERCENT");
        char* end = nullptr;
        long v = std::strtol(args[i + 1].c_str(), &end, 10);
        if (!end || *end || args[i + 1].empty() || v < 1 || v > 1000)
          return UsageError("--scale takes a whole number from 1 to 1000");
        scale = int(v);
        ++i;
      } else if (args[i].rfind("--", 0) == 0) {
        return UsageError(("unknown option " + args[i]).c_str());
      } else {
        files.push_back(args[i]);
      }
    }
    if (files.size() != 2) return UsageError("render takes FILE and OUT.png");
    return Render(files[0], files[1], scale);
  }
  return UsageError(("unknown subcommand " + sub).c_str());
}

}  // namespace hy::cli
