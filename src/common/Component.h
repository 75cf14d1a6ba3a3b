// The component model: an owner that frees what it owns, a name, free
// notification between components that refer to each other, and the loading
// protocol of a stored layout (properties are set while Loading(), then every
// component is told Loaded() in creation order).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hy {

enum TOperation { opInsert, opRemove };

class TComponent {
public:
  explicit TComponent(TComponent* owner = nullptr);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  // Raises EComponentError when a sibling of the same owner has the name.
  void SetName(std::string_view name);

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const;
  TComponent* FindComponent(std::string_view name) const;

  // `other` is told (Notification opRemove) when this component is destroyed.
  void FreeNotification(TComponent* other);
  void RemoveFreeNotification(TComponent* other);

  bool IsLoading() const { return loading_; }
  bool IsDestroying() const { return destroying_; }
  // Marks this component as being read from a stored layout.
  void BeginLoading() { loading_ = true; }
  // End of reading: clears the loading mark; overrides apply what was remembered.
  virtual void Loaded();

  // Tells every owned component, in creation order, then `root` itself that
  // loading has finished. Stops at the first exception, which propagates.
  static void FinishLoading(TComponent* root);

protected:
  virtual void Notification(TComponent* component, TOperation operation);
  // Leaf classes call this first in their destructor so that the components
  // referring to them are told while the whole object is still alive.
  void Destroying();
  // Frees the owned components, the last created first.
  void DestroyComponents();

private:
  void TellRemoved(TComponent* receiver) noexcept;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  TComponent* owner_ = nullptr;
  std::string name_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  bool loading_ = false;
  bool destroying_ = false;
};

}  // namespace hy
