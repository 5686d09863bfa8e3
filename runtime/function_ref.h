// FunctionRef: a reference to something callable, for a parameter that is
// called before the call that receives it returns. It neither copies nor
// owns what it refers to, so passing one allocates nothing and calling it is
// one indirect call (std::function, by contrast, may allocate and calls
// through its manager). The callable must outlive every call: a lambda
// written in the argument list lives until the end of the full expression.
#pragma once

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace tavero {

template <typename Signature>
class FunctionRef;

template <typename R, typename... Args>
class FunctionRef<R(Args...)> {
 public:
  template <typename F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, FunctionRef> && std::is_object_v<std::remove_reference_t<F>> &&
             std::is_invocable_r_v<R, std::remove_reference_t<F>&, Args...>)
  FunctionRef(F&& callable) noexcept  // NOLINT: converts like std::function
      : object_(const_cast<void*>(static_cast<const void*>(std::addressof(callable)))),
        call_([](void* object, Args... args) -> R {
          return std::invoke(*static_cast<std::remove_reference_t<F>*>(object), std::forward<Args>(args)...);
        }) {}

  R operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

 private:
  void* object_;
  R (*call_)(void*, Args...);
};

}  // namespace tavero
