// The one registry of classes looked up by name: mediation adapters, custom events and
// optional platform classes. A name maps to a factory of objects of one base interface;
// looking a name up with another base gives nothing, as asking a class found by name
// whether it conforms would. Classes whose objects need arguments register a small
// factory interface as their base.
//
// A class may also carry a descriptor: its superclass, the protocols it adopts, the
// optional operations its objects answer, its class operations and its initialisers,
// so that callers can ask what a class found by name conforms to or answers before
// making anything (the questions a runtime answers about a class). Protocols and
// operations are inherited along the superclass chain.
//
// Nothing is registered by static initialisers: built-in classes are registered by an
// explicit call at start-up, tests register what they need. Thread-safe.
//
//   registry.registerClass<Adapter>("MyAdapter", [] { return std::make_shared<MyAdapter>(); });
//   std::shared_ptr<Adapter> a = registry.create<Adapter>("MyAdapter");
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <typeindex>
#include <vector>

namespace platform {

// What a class declares about itself; every name is exact.
struct ClassDescriptor {
  std::string superclass{};                    // a registered class name, or empty
  std::vector<std::string> protocols{};        // adopted by the class itself
  std::vector<std::string> operations{};       // optional operations its objects answer
  std::vector<std::string> classOperations{};  // operations of the class itself
  std::vector<std::string> initialisers{};     // the ways its objects are made
};

class ClassRegistry {
 public:
  template <class Base>
  using Factory = std::function<std::shared_ptr<Base>()>;

  // The process-wide registry.
  static ClassRegistry& shared();

  // Registers (or replaces) `name`; an empty name or factory is ignored.
  template <class Base>
  void registerClass(std::string name, Factory<Base> factory, ClassDescriptor descriptor = {}) {
    if (name.empty() || !factory) return;
    auto erased = [factory = std::move(factory)]() -> std::shared_ptr<void> { return factory(); };
    add(std::move(name), std::type_index(typeid(Base)), std::move(erased), std::move(descriptor));
  }

  // A new object of the class named `name`; nullptr when the name is unknown, was
  // registered with another base, or its factory gave nothing.
  template <class Base>
  std::shared_ptr<Base> create(std::string_view name) const {
    auto factory = find(name, std::type_index(typeid(Base)));
    if (!factory) return nullptr;
    return std::static_pointer_cast<Base>(factory());
  }

  // Whether `name` is registered (with any base, or with `Base`).
  bool isRegistered(std::string_view name) const;
  template <class Base>
  bool isRegistered(std::string_view name) const {
    return static_cast<bool>(find(name, std::type_index(typeid(Base))));
  }

  // The descriptor `name` was registered with (std::nullopt when unknown).
  std::optional<ClassDescriptor> descriptor(std::string_view name) const;
  // Whether the class adopts `protocol`, itself or through a registered superclass.
  bool conformsToProtocol(std::string_view name, std::string_view protocol) const;
  // Whether its objects answer `operation`, declared by it or by a superclass.
  bool instancesRespondToOperation(std::string_view name, std::string_view operation) const;
  // Whether the class answers the class operation, itself or through a superclass.
  bool respondsToClassOperation(std::string_view name, std::string_view operation) const;
  // Whether the class declares the initialiser (initialisers are not inherited).
  bool hasInitialiser(std::string_view name, std::string_view initialiser) const;

  void unregisterClass(std::string_view name);
  // Every registered name, sorted.
  std::vector<std::string> names() const;

 private:
  using ErasedFactory = std::function<std::shared_ptr<void>()>;
  struct Entry {
    std::type_index base;
    ErasedFactory factory;
    ClassDescriptor descriptor;
  };
  using Member = std::vector<std::string> ClassDescriptor::*;

  void add(std::string name, std::type_index base, ErasedFactory factory, ClassDescriptor descriptor);
  // Whether `value` is in `member` of the class or of a superclass; a chain that loops
  // or names an unknown class ends there.
  bool inherits(std::string_view name, Member member, std::string_view value) const;
  // The factory of `name` when registered with `base`, else an empty function.
  ErasedFactory find(std::string_view name, std::type_index base) const;

  mutable std::mutex mutex_;
  std::map<std::string, Entry, std::less<>> entries_;
};

}  // namespace platform
