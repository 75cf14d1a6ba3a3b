#include "platform/gdi/MetafileCanvas.h"
#include "report/KyRPars.h"
#include "report/KyRTypes.h"

namespace hy {

const TKyRHighLight* FindHoldingHighLight(const TKyRHighLights& highLights,
                                          const TKyRExprContext& context) {
  for (int i = 0; i < highLights.Count(); ++i) {
    const TKyRHighLight* highLight = highLights.Items(i);
    try {
      if (KyRConditionHolds(CalculateKyRExpression(highLight->Expression(), context)))
        return highLight;
    } catch (const std::exception&) {
      // A condition that cannot be evaluated does not hold.
    }
  }
  return nullptr;
}

bool ApplyHighLights(TMetafileCanvas& canvas, const TRect& cell, const TKyRHighLights& highLights,
                     const TKyRExprContext& context) {
  const TKyRHighLight* highLight = FindHoldingHighLight(highLights, context);
  if (!highLight) return false;
  canvas.SetFont(highLight->Font());
  if (highLight->Color() != clWhite) {
    canvas.Brush().SetStyle(bsSolid);
    canvas.Brush().SetColor(highLight->Color());
    canvas.FillRect(cell);
    canvas.Brush().SetStyle(bsClear);
  }
  return true;
}

}  // namespace hy
