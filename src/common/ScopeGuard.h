// Scope guards: restore state on every way out of a block, so that no
// try/catch pair has to repeat the restoring code by hand.
#pragma once

#include <exception>
#include <tuple>
#include <utility>

namespace hy {

// Runs `fn` when the scope ends, normally or by an exception. When the scope
// ends by an exception, whatever `fn` raises is dropped: the first failure is
// the one the caller must see. On a normal exit `fn` may raise.
template <class Fn>
class TScopeExit {
public:
  explicit TScopeExit(Fn fn) : fn_(std::move(fn)), uncaught_(std::uncaught_exceptions()) {}
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;

  ~TScopeExit() noexcept(false) {
    if (!active_) return;
    if (std::uncaught_exceptions() > uncaught_) {
      try {
        fn_();
      } catch (...) {
      }
    } else {
      fn_();
    }
  }

  // The restoring is no longer wanted (the work committed its own state).
  void Dismiss() { active_ = false; }

private:
  Fn fn_;
  int uncaught_;
  bool active_ = true;
};

template <class Fn>
[[nodiscard]] TScopeExit<Fn> ScopeExit(Fn fn) {
  return TScopeExit<Fn>(std::move(fn));
}

// Brackets a block with BeginUpdate / EndUpdate(args...) of `target`, the
// outermost EndUpdate being the one that recomputes and notifies.
template <class T, class... EndArgs>
class TUpdateScope {
public:
  explicit TUpdateScope(T& target, EndArgs... endArgs)
      : end_((target.BeginUpdate(), TEnd(target, endArgs...))) {}
  TUpdateScope(const TUpdateScope&) = delete;
  TUpdateScope& operator=(const TUpdateScope&) = delete;

private:
  struct TEnd {
    T& target;
    std::tuple<EndArgs...> args;
    TEnd(T& t, EndArgs... a) : target(t), args(a...) {}
    void operator()() {
      std::apply([this](EndArgs... a) { target.EndUpdate(a...); }, args);
    }
  };
  TScopeExit<TEnd> end_;
};

template <class T, class... EndArgs>
TUpdateScope(T&, EndArgs...) -> TUpdateScope<T, EndArgs...>;

// Sets `flag` to `value` for the scope and puts the old value back after.
template <class V>
class TValueScope {
public:
  TValueScope(V& flag, V value) : flag_(flag), old_(flag) { flag_ = std::move(value); }
  ~TValueScope() { flag_ = std::move(old_); }
  TValueScope(const TValueScope&) = delete;
  TValueScope& operator=(const TValueScope&) = delete;

private:
  V& flag_;
  V old_;
};

}  // namespace hy
