#include "pivot/HyDBCube.h"

#include <algorithm>

#include "common/Exceptions.h"

namespace hy {

THyCube::THyCube(TComponent* owner) : THyCustomStore(owner) { SetDesignState(dsAllData); }

THyCube::~THyCube() {
  Destroying();
  while (!sources_.empty()) {
    TCubeClient* last = sources_.back();
    RemoveDataSource(last);
    if (!sources_.empty() && sources_.back() == last) break;
  }
  HyAssert(sources_.empty(), "HyDB", "Decision Sources did not free correctly");
  // Close here, while the views are gone and this object is whole.
  SetActive(false);
}

void THyCube::AddDataSource(TCubeClient* source) {
  if (!source || std::find(sources_.begin(), sources_.end(), source) != sources_.end()) return;
  sources_.push_back(source);
  source->SetCubeReference(this);
  source->CubeReferenceChanged();
}

void THyCube::RemoveDataSource(TCubeClient* source) {
  auto it = std::find(sources_.begin(), sources_.end(), source);
  if (it == sources_.end()) return;
  source->SetCubeReference(nullptr);
  sources_.erase(it);
  source->CubeReferenceChanged();
}

void THyCube::NotifyDataSources(uint8_t event) {
  // Copy: a view may unregister while being told.
  const std::vector<TCubeClient*> order = sources_;
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    if (std::find(sources_.begin(), sources_.end(), *it) != sources_.end())
      (*it)->CubeChanged(event);
  }
}

void THyCube::StateChanged() {
  if (DataState() == dsDimensionData || DataState() == dsAllData) {
    for (int32_t d = 0; d < GetDimensionCount(); ++d) {
      TDimension* dim = Dimensions(d);
      if (dim->MapItem())
        dim->MapItem()->SetValueCount(static_cast<uint32_t>(dim->GetValueCount()));
    }
  }
  NotifyDataSources(0);
}

}  // namespace hy
