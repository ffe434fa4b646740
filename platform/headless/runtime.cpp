#include "platform/runtime.h"

#include <cstdio>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/foundation.h"

namespace tovik {

std::atomic<std::uint64_t> gMethodTableGeneration{1};

namespace {
// Whether the window system's own classes are complete (see
// objc_sealPlatformClasses).
std::atomic<bool> platformSealed{false};

void noteDefinition(SEL sel) {
  if (platformSealed.load(std::memory_order_acquire)) {
    sel->redefined.store(true, std::memory_order_relaxed);
  }
}
}  // namespace

void objc_sealPlatformClasses() { platformSealed.store(true, std::memory_order_release); }

namespace {

struct RuntimeState {
  std::shared_mutex mutex;
  std::unordered_map<std::string, std::unique_ptr<Selector>> selectors;
  std::unordered_set<std::string> encodings;
  std::unordered_map<std::uint64_t, std::pair<const char*, bool>> encodingDigests;
  std::unordered_map<std::string, Class*> registry;
  std::vector<std::unique_ptr<Class>> classes;
  std::vector<std::unique_ptr<const MethodCache>> retiredCaches;
  std::vector<std::unique_ptr<Imp>> imps;
  // Protocols: every one made (for the life of the process), the registered
  // ones by name, and each class's own adopted list, in order of adoption.
  std::vector<Ref<Protocol>> protocols;
  std::unordered_map<std::string, Protocol*> protocolRegistry;
  std::unordered_map<const Class*, std::vector<Protocol*>> classProtocols;
};

RuntimeState& state() {
  static auto* runtime = new RuntimeState;
  return *runtime;
}

std::string describe(const Object* receiver, SEL sel) {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(receiver));
  return "-[" + receiver->isa()->name() + " " + sel->name + "]" + "@" + address;
}

}  // namespace

SEL sel_registerName(std::string_view name) {
  auto& rt = state();
  {
    std::shared_lock lock(rt.mutex);
    if (auto it = rt.selectors.find(std::string(name)); it != rt.selectors.end()) {
      return it->second.get();
    }
  }
  std::unique_lock lock(rt.mutex);
  auto [it, inserted] = rt.selectors.try_emplace(std::string(name));
  if (inserted) it->second = std::make_unique<Selector>(std::string(name));
  return it->second.get();
}

const char* internEncoding(std::string_view encoding, bool borrowedResult) {
  auto& rt = state();
  std::unique_lock lock(rt.mutex);
  const char* interned = rt.encodings.emplace(encoding).first->c_str();
  // Sends compare digests, so two encodings (or conventions) must never
  // share one.
  const std::uint64_t digest =
      encodingDigest(encoding) ^ (borrowedResult ? kBorrowedResultSalt : 0);
  const std::pair<const char*, bool> named{interned, borrowedResult};
  auto [it, added] = rt.encodingDigests.try_emplace(digest, named);
  if (!added && it->second != named) {
    throw PlatformError(std::string("the encodings '") + it->second.first + "' and '" + interned +
                        "' have the same digest");
  }
  return interned;
}

IMP retainImp(std::unique_ptr<Imp> imp) {
  auto& rt = state();
  std::unique_lock lock(rt.mutex);
  rt.imps.push_back(std::move(imp));
  return rt.imps.back().get();
}

Class::Class(std::string_view name, Class* superclass, InstanceFactory factory)
    : name_(name),
      superclass_(superclass),
      depth_(superclass != nullptr ? superclass->depth_ + 1 : 0),
      factory_(factory) {
  if (superclass != nullptr) ancestors_ = superclass->ancestors_;
  ancestors_.push_back(this);
}

Class::~Class() = default;

String* Class::nameString() const {
  std::call_once(nameOnce_, [this] { nameString_ = String::make(name_); });
  return nameString_.get();
}

Method* Class::ownMethod(SEL sel) const {
  for (const auto& m : methods_) {
    if (m->name() == sel) return m.get();
  }
  return nullptr;
}

Method* Class::resolveSlow(SEL sel) const {
  auto& rt = state();
  std::unique_lock lock(rt.mutex);
  Method* found = nullptr;
  for (const Class* c = this; c != nullptr && found == nullptr; c = c->superclass_) {
    found = c->ownMethod(sel);
  }
  const std::uint64_t generation = gMethodTableGeneration.load(std::memory_order_acquire);
  const MethodCache* old = cache_.load(std::memory_order_acquire);
  auto fresh = std::make_unique<MethodCache>();
  fresh->generation = generation;
  const bool keep = old != nullptr && old->generation == generation;
  const std::size_t used = (keep ? old->used : 0) + 1;
  std::size_t capacity = 8;
  while (capacity < used * 2) capacity *= 2;
  fresh->mask = capacity - 1;
  fresh->used = used;
  fresh->slots.assign(capacity, {nullptr, nullptr});
  auto insert = [&](SEL s, Method* m) {
    std::size_t i = slotOf(s, fresh->mask);
    while (fresh->slots[i].first != nullptr && fresh->slots[i].first != s)
      i = (i + 1) & fresh->mask;
    fresh->slots[i] = {s, m};
  };
  if (keep) {
    for (const auto& slot : old->slots) {
      if (slot.first != nullptr) insert(slot.first, slot.second);
    }
  }
  insert(sel, found);
  cache_.store(fresh.get(), std::memory_order_release);
  rt.retiredCaches.push_back(std::move(fresh));
  return found;
}

Class* objc_getClass(std::string_view name) {
  auto& rt = state();
  std::shared_lock lock(rt.mutex);
  auto it = rt.registry.find(std::string(name));
  return it != rt.registry.end() ? it->second : nullptr;
}

Class* NSClassFromString(const String* name) {
  return name != nullptr ? objc_getClass(name->utf8()) : nullptr;
}

String* NSStringFromClass(const Class* cls) { return cls != nullptr ? cls->nameString() : nullptr; }

namespace {
Class* makeClass(std::string_view name, Class* superclass, InstanceFactory factory, bool reg) {
  auto& rt = state();
  std::unique_lock lock(rt.mutex);
  if (rt.registry.contains(std::string(name))) return nullptr;
  rt.classes.push_back(std::make_unique<Class>(name, superclass, factory));
  Class* cls = rt.classes.back().get();
  if (reg) rt.registry.emplace(std::string(name), cls);
  return cls;
}
}  // namespace

Class* objc_declareClass(std::string_view name, Class* superclass, InstanceFactory factory,
                         bool registered) {
  Class* cls = makeClass(name, superclass, factory, registered);
  if (cls == nullptr) throw PlatformError("class " + std::string(name) + " is declared twice");
  return cls;
}

Class* objc_declareClass(std::string_view name, Class* superclass, bool registered) {
  return objc_declareClass(name, superclass, InstanceFactory{nullptr}, registered);
}

Class* objc_allocateClassPair(Class* superclass, std::string_view name) {
  if (superclass == nullptr) return nullptr;
  // An instance of a class made at run time is an instance of the nearest
  // C++-declared ancestor, with the new class as its isa.
  return makeClass(name, superclass, nullptr, false);
}

void objc_registerClassPair(Class* cls) {
  if (cls == nullptr) return;
  auto& rt = state();
  std::unique_lock lock(rt.mutex);
  rt.registry.try_emplace(cls->name(), cls);
}

Ref<Object> class_createInstance(Class* cls) {
  if (cls == nullptr) return nullptr;
  for (const Class* c = cls; c != nullptr; c = c->superclass()) {
    if (c->factory_ != nullptr) return c->factory_(cls);
  }
  throw PlatformError("class " + cls->name() + " has no root class");
}

bool class_respondsToSelector(const Class* cls, SEL sel) {
  return class_getInstanceMethod(cls, sel) != nullptr;
}

bool class_addMethod(Class* cls, SEL sel, IMP imp, const char* types) {
  if (cls == nullptr || sel == nullptr || imp == nullptr || types == nullptr) return false;
  if (std::string_view(types) != imp->types) {
    throw PlatformError(std::string("class_addMethod: ") + cls->name() + " " + sel->name +
                        ": implementation has encoding '" + imp->types + "', method declared '" +
                        types + "'");
  }
  auto& rt = state();
  std::unique_lock lock(rt.mutex);
  if (cls->ownMethod(sel) != nullptr) return false;
  cls->methods_.push_back(std::make_unique<Method>(sel, imp));
  noteDefinition(sel);
  gMethodTableGeneration.fetch_add(1, std::memory_order_acq_rel);
  return true;
}

std::vector<Method*> class_copyMethodList(Class* cls) {
  std::vector<Method*> list;
  if (cls == nullptr) return list;
  std::shared_lock lock(state().mutex);
  for (const auto& m : cls->methods_) list.push_back(m.get());
  return list;
}

IMP method_setImplementation(Method* method, IMP imp) {
  if (method == nullptr || imp == nullptr) return nullptr;
  if (std::string_view(method->types()) != imp->types) {
    throw PlatformError(std::string("method_setImplementation: ") + method->name()->name +
                        ": implementation has encoding '" + imp->types + "', method has '" +
                        method->types() + "'");
  }
  noteDefinition(method->name());
  return method->exchange(imp);
}

Class* Protocol::runtimeClass() {
  // Made only by the runtime: the class cannot make an instance.
  static Class* const cls = objc_declareClass("Protocol", Object::runtimeClass(),
                                              [](Class*) -> Ref<Object> { return nullptr; });
  return cls;
}

Protocol* Protocol::nsObject() {
  static Protocol* const protocol = [] {
    Protocol* made = objc_declareProtocol("NSObject", {});
    class_addProtocol(Object::runtimeClass(), made);
    return made;
  }();
  return protocol;
}

bool Protocol::conformsLocked(const Protocol* other) const {
  return this == other || name_ == other->name_ || anyConformsLocked(adopted_, other);
}

bool Protocol::anyConformsLocked(const std::vector<Protocol*>& list, const Protocol* other) {
  for (const Protocol* protocol : list) {
    if (protocol->conformsLocked(other)) return true;
  }
  return false;
}

Protocol* objc_getProtocol(std::string_view name) {
  auto& rt = state();
  std::shared_lock lock(rt.mutex);
  auto it = rt.protocolRegistry.find(std::string(name));
  return it != rt.protocolRegistry.end() ? it->second : nullptr;
}

Protocol* objc_allocateProtocol(std::string_view name) {
  Class* isa = Protocol::runtimeClass();  // before the lock: declaring it takes the lock
  auto& rt = state();
  std::unique_lock lock(rt.mutex);
  if (rt.protocolRegistry.contains(std::string(name))) return nullptr;
  rt.protocols.push_back(Ref<Protocol>(new Protocol(isa, name)));
  return rt.protocols.back().get();
}

void protocol_addProtocol(Protocol* protocol, Protocol* addition) {
  if (protocol == nullptr || addition == nullptr) return;
  std::unique_lock lock(state().mutex);
  if (protocol->stage_ != Protocol::Stage::UnderConstruction ||
      addition->stage_ != Protocol::Stage::Registered) {
    return;
  }
  protocol->adopted_.push_back(addition);
}

void objc_registerProtocol(Protocol* protocol) {
  if (protocol == nullptr) return;
  auto& rt = state();
  std::unique_lock lock(rt.mutex);
  if (protocol->stage_ != Protocol::Stage::UnderConstruction) return;
  // A name found by objc_getProtocol keeps naming the protocol first found:
  // classes may already have adopted it.
  if (!rt.protocolRegistry.try_emplace(protocol->name_, protocol).second) return;
  protocol->stage_ = Protocol::Stage::Registered;
}

Protocol* objc_declareProtocol(std::string_view name, std::initializer_list<Protocol*> adopted) {
  Protocol* protocol = objc_allocateProtocol(name);
  if (protocol != nullptr) {
    for (Protocol* addition : adopted) protocol_addProtocol(protocol, addition);
    objc_registerProtocol(protocol);
  }
  if (protocol == nullptr || objc_getProtocol(name) != protocol) {
    throw PlatformError("protocol " + std::string(name) + " is declared twice");
  }
  return protocol;
}

bool protocol_conformsToProtocol(const Protocol* protocol, const Protocol* other) {
  if (protocol == nullptr || other == nullptr) return false;
  std::shared_lock lock(state().mutex);
  return protocol->conformsLocked(other);
}

std::vector<Protocol*> protocol_copyProtocolList(const Protocol* protocol) {
  if (protocol == nullptr) return {};
  std::shared_lock lock(state().mutex);
  return protocol->adopted_;
}

bool class_addProtocol(Class* cls, Protocol* protocol) {
  if (cls == nullptr || protocol == nullptr) return false;
  auto& rt = state();
  std::unique_lock lock(rt.mutex);
  std::vector<Protocol*>& own = rt.classProtocols[cls];
  if (Protocol::anyConformsLocked(own, protocol)) return false;
  own.push_back(protocol);
  return true;
}

bool class_conformsToProtocol(const Class* cls, const Protocol* protocol) {
  if (cls == nullptr || protocol == nullptr) return false;
  auto& rt = state();
  std::shared_lock lock(rt.mutex);
  auto it = rt.classProtocols.find(cls);
  return it != rt.classProtocols.end() && Protocol::anyConformsLocked(it->second, protocol);
}

std::vector<Protocol*> class_copyProtocolList(const Class* cls) {
  if (cls == nullptr) return {};
  auto& rt = state();
  std::shared_lock lock(rt.mutex);
  auto it = rt.classProtocols.find(cls);
  return it != rt.classProtocols.end() ? it->second : std::vector<Protocol*>{};
}

void throwUnrecognizedSelector(const Object* receiver, SEL sel) {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(receiver));
  throw PlatformError("-[" + receiver->isa()->name() + " " + sel->name +
                      "]: unrecognized selector sent to instance " + address);
}

void throwEncodingMismatch(const Object* receiver, SEL sel, const char* methodTypes,
                           const char* sentTypes) {
  if (std::string_view(methodTypes) == sentTypes) {
    throw PlatformError(describe(receiver, sel) + ": method of type encoding '" + methodTypes +
                        "' answers its object otherwise (owned or borrowed) than the message "
                        "was sent for");
  }
  throw PlatformError(describe(receiver, sel) + ": method has type encoding '" + methodTypes +
                      "' but the message was sent as '" + sentTypes + "'");
}

void throwArgumentKind(SEL sel, const Object* argument, const Class* expected) {
  throw PlatformError(std::string("argument of ") + sel->name + " is an instance of " +
                      argument->isa()->name() + ", not of " + expected->name());
}

}  // namespace tovik
