// ZUMBindWeak: the one way to hand a callback to something that may outlive its target.
// New code uses it instead of a hand-written "lock the weak pointer, return if gone"
// lambda wherever the callback only forwards to a member function:
//
//   ZUMRunOnMainThread(ZUMBindWeak(weak_from_this(), &ZUMSlot::reload));
//   center.addObserver(name, ZUMBindWeak(self, &ZUMIntermission::applicationWillEnterForeground));
//
// The callable holds the target weakly. Each call locks it; when the target is gone the
// call does nothing, otherwise it calls `method` on it with the bound arguments followed
// by the call's arguments. Call arguments the method does not take (a notification, the
// button that was tapped) are dropped. The target stays alive for the length of the
// call. The callable may be called any number of times, on the thread its caller
// chooses; ZUMBindWeak itself may be used on any thread.
#pragma once

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace zum_bind_weak_detail {
// Calls without the call's arguments. Templated on them so that the call is checked only
// when a call drops them (a compiler may check a non-dependent call of a generic lambda
// at once, where it can never be made).
template <class... Dropped, class Method, class Target, class... Bound>
void invokeDropping(Method method, Target* target, const Bound&... bound) {
  std::invoke(method, target, bound...);
}
}  // namespace zum_bind_weak_detail

template <class T, class Method, class... Bound>
auto ZUMBindWeak(std::weak_ptr<T> target, Method method, Bound&&... bound) {
  static_assert(std::is_member_function_pointer_v<Method>, "ZUMBindWeak binds a member function");
  return [target = std::move(target), method, ... bound = std::forward<Bound>(bound)](auto&&... arguments) {
    const std::shared_ptr<T> self = target.lock();
    if (!self) return;
    if constexpr (requires {
                    std::invoke(method, self.get(), bound..., std::forward<decltype(arguments)>(arguments)...);
                  }) {
      std::invoke(method, self.get(), bound..., std::forward<decltype(arguments)>(arguments)...);
    } else {
      zum_bind_weak_detail::invokeDropping<decltype(arguments)...>(method, self.get(), bound...);
    }
  };
}

template <class T, class Method, class... Bound>
auto ZUMBindWeak(const std::shared_ptr<T>& target, Method method, Bound&&... bound) {
  return ZUMBindWeak(std::weak_ptr<T>(target), method, std::forward<Bound>(bound)...);
}
