#include "report/KyRPars.h"
#include "report/PrintKy.h"

namespace hy {

TKyRVariableLookup KyRReportVariables(TKyPrintBaseComponent& report) {
  return [&report](const std::string& name, TFieldType& type, Variant& value) {
    bool accept = false;
    report.GetVariable(name, accept, type, value);
    return accept;
  };
}

}  // namespace hy
