// THyCube: the store bound to a dataset that keeps the decision sources
// showing it and tells them of every change.
#pragma once

#include <cstdint>
#include <vector>

#include "cube/HyStore.h"

namespace hy {

class THyCube;

// What the cube needs of a view registered with it (the decision source).
class TCubeClient {
public:
  virtual ~TCubeClient() = default;
  // Sets the view's cube reference only; registration is the cube's part.
  virtual void SetCubeReference(THyCube* cube) = 0;
  // The reference changed: re-read the cube's state.
  virtual void CubeReferenceChanged() = 0;
  // Data events: 0 state changed, 1 summary changed, 3 refresh without reload.
  virtual void CubeChanged(uint8_t event) = 0;
};

class THyCube : public THyCustomStore {
public:
  explicit THyCube(TComponent* owner = nullptr);
  // Detaches every registered view first ("Decision Sources did not free
  // correctly" when one stays registered).
  ~THyCube() override;

  const std::vector<TCubeClient*>& Sources() const { return sources_; }
  void AddDataSource(TCubeClient* source);
  void RemoveDataSource(TCubeClient* source);
  // From the last registered view to the first.
  void NotifyDataSources(uint8_t event) override;

protected:
  // Writes the value counts found back to the map (the next build's
  // estimate), then tells the views.
  void StateChanged() override;

private:
  std::vector<TCubeClient*> sources_;
};

}  // namespace hy
