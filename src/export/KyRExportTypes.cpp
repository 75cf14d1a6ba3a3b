#include "export/KyRExportTypes.h"

#include <algorithm>

#include "common/StrUtils.h"
#include "export/KyRExportExcel.h"
#include "export/KyRExportHtml.h"
#include "export/KyRExportLotus.h"
#include "export/KyRExportPdf.h"
#include "export/KyRExportPicture.h"
#include "export/KyRExportRtf.h"
#include "export/KyRExportText.h"

namespace hy {
namespace {

template <class T>
std::unique_ptr<TKyRExport> Make() {
  return std::make_unique<T>();
}

// One line per type; a class that comes later replaces its nullptr.
std::vector<TKyRExportType>& Registry() {
  static std::vector<TKyRExportType> types = {
      {"TKyRExportToText", "TXT", 2170, "", 2171, "", &Make<TKyRExportToText>},
      {"TKyRExportToCSV", "CSV", 2172, "", 2173, "", &Make<TKyRExportToCSV>},
      {"TKyRExportToEMF", "EMF", 2174, "", 2175, "", &Make<TKyRExportToEMF>},
      {"TKyRExportToWMF", "WMF", 2176, "", 2177, "", &Make<TKyRExportToWMF>},
      {"TKyRExportToBMP", "BMP", 2192, "", 2193, "", &Make<TKyRExportToBMP>},
      {"TKyRExportToHTML", "HTML", 2178, "", 2179, "", &Make<TKyRExportToHTML>},
      {"TKyRExportToXML", "XML", 2180, "", 2181, "", &Make<TKyRExportToXML>},
      {"TKyRExportToExcel", "XLS", 2182, "", 2183, "", &Make<TKyRExportToExcel>},
      {"TKyRExportToLotus", "WK1", 2184, "", 2185, "", &Make<TKyRExportToLotus>},
      {"TKyRExportToQuattroPro", "WQ1", 2186, "", 2187, "", &Make<TKyRExportToQuattroPro>},
      {"TKyRExportToRTF", "RTF", 2188, "", 2189, "", &Make<TKyRExportToRTF>},
      {"TKyRExportToPDF", "PDF", 2190, "", 2191, "", &Make<TKyRExportToPDF>},
      {"TKyRExportToTIFF", "TIFF", 2194, "", 2195, "", &Make<TKyRExportToTIFF>},
  };
  return types;
}

}  // namespace

std::unique_ptr<TKyRExport> TKyRExportType::Create() const {
  if (!Factory) throw EKyRExportError(Format("The %s export is not available", Extension.c_str()));
  return Factory();
}

const std::vector<TKyRExportType>& KyRExportTypes() { return Registry(); }

const TKyRExportType* FindExportType(std::string_view key) {
  if (!key.empty() && key.front() == '.') key.remove_prefix(1);
  for (const TKyRExportType& t : Registry())
    if (SameText(t.Extension, key) || SameText(t.ClassName, key)) return &t;
  return nullptr;
}

void RegisterExportType(TKyRExportType type) {
  auto& types = Registry();
  for (TKyRExportType& t : types)
    if (t.ClassName == type.ClassName) {
      t = std::move(type);
      return;
    }
  types.push_back(std::move(type));
}

void UnregisterExportType(std::string_view className) {
  auto& types = Registry();
  std::erase_if(types, [&](const TKyRExportType& t) { return t.ClassName == className; });
}

}  // namespace hy
