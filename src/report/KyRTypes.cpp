#include "report/KyRTypes.h"

#include "common/StrUtils.h"
#include "platform/gdi/Fonts.h"

namespace hy {

// ---- TKyRCollection ----

void TKyRCollection::EndUpdate() {
  if (updateCount_ > 0) --updateCount_;
  if (updateCount_ == 0 && pending_) Changed();
}

void TKyRCollection::Changed() {
  if (updateCount_ > 0) {
    pending_ = true;
    return;
  }
  pending_ = false;
  if (onChange_) onChange_();
}

// ---- TKyRHighLight ----

TKyRHighLight::TKyRHighLight(TKyRCollection* collection)
    : collection_(collection), font_(std::make_unique<TFont>()) {
  font_->SetName("Arial");
}

TKyRHighLight::~TKyRHighLight() = default;

void TKyRHighLight::SetExpression(const std::string& value) {
  if (value == expression_) return;
  expression_ = value;
  collection_->Changed();
}

void TKyRHighLight::SetFont(const TFont& value) {
  font_->Assign(value);
  collection_->Changed();
}

void TKyRHighLight::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  collection_->Changed();
}

void TKyRHighLight::Assign(const TKyRHighLight& source) {
  if (&source == this) return;
  TUpdateScope update(*collection_);
  SetExpression(source.expression_);
  SetFont(*source.font_);
  SetColor(source.color_);
}

// ---- TKyRVariable ----

void TKyRVariable::SetExpression(const std::string& value) {
  if (value == expression_) return;
  expression_ = value;
  collection_->Changed();
}

void TKyRVariable::SetCalculation(const TKyRCalculation& value) {
  calculation_.Assign(value);
  collection_->Changed();
}

void TKyRVariable::SetName(const std::string& value) {
  if (value == name_) return;
  name_ = value;
  collection_->Changed();
}

void TKyRVariable::Assign(const TKyRVariable& source) {
  if (&source == this) return;
  TUpdateScope update(*collection_);
  SetExpression(source.expression_);
  SetCalculation(source.calculation_);
  SetName(source.name_);
}

TKyRVariable* TKyRVariables::Find(const std::string& name) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(Items(i)->Name(), name)) return Items(i);
  return nullptr;
}

}  // namespace hy
