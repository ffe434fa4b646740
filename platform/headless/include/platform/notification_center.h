#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/foundation.h"
#include "platform/selectors.h"

namespace tovik {

// A posted notification (NSNotification): a name, the posting object and an
// optional dictionary.
class Notification : public Object {
 public:
  Notification(Class* isa, Ref<String> name = nullptr, Ref<Object> object = nullptr,
               Ref<Dictionary> userInfo = nullptr)
      : Object(isa),
        name_(std::move(name)),
        object_(std::move(object)),
        userInfo_(std::move(userInfo)) {}
  static Class* runtimeClass();

  [[nodiscard]] String* name() const { return name_.get(); }
  // A message through the runtime, as the plug-in reads it.
  [[nodiscard]] Object* object() const {
    return message<Object*>(this, selectors::object, [this] { return object_.get(); });
  }
  [[nodiscard]] Dictionary* userInfo() const { return userInfo_.get(); }

 private:
  Ref<String> name_;
  Ref<Object> object_;
  Ref<Dictionary> userInfo_;
};

// The notification centre (NSNotificationCenter). Observers are not retained
// and an observer that is gone is skipped, as since macOS 10.11. An observed
// object is not retained either; once it is gone its registrations match
// nothing, so a new object at the same address is never mistaken for it.
// Delivery is synchronous, on the posting thread, outside the centre's lock,
// in registration order, by sending the registered selector with the
// notification. Any thread may add, remove and post.
//
// Registrations are kept by observed object, so a post walks only the posting
// object's registrations and those that observe every object; the two runs
// are merged back into registration order. Registrations whose observer or
// object is gone are dropped when a post comes across them, and all of them
// are swept whenever the registrations have doubled since the last sweep, so
// objects that come and go leave no trace in what a post costs.
class NotificationCenter : public Object {
 public:
  using Object::Object;
  static Class* runtimeClass();
  static NotificationCenter* defaultCenter();

  // `name` null observes every name; `object` null observes every object. A
  // message through the runtime, so a replacement of it is what callers meet.
  void addObserver(Object* observer, SEL selector, String* name, Object* object) {
    send<void>(this, selectors::addObserver, observer, selector, name, object);
  }
  void removeObserver(Object* observer);
  // Removes the observer's registrations that match: a null `name` or
  // `object` matches any, as does a registration made with a null name.
  void removeObserver(Object* observer, String* name, Object* object);
  void postNotificationName(String* name, Object* object, Dictionary* userInfo = nullptr);

  // The registrations held, including those of observers or objects that are
  // gone and not yet swept.
  [[nodiscard]] std::size_t registrationCount();

 private:
  struct Registration {
    std::uint64_t order;  // when it was added; delivery follows it
    Weak<Object> observer;
    const Object* observerIdentity;
    SEL selector;
    Ref<String> name;
    Weak<Object> object;  // empty when every object is observed
  };
  using Registrations = std::vector<Registration>;
  // The first sweep comes at this many registrations, the next when the
  // count has doubled from what the last sweep left (and not before this).
  static constexpr std::size_t kFirstSweep = 64;

  // Keeps the live registrations of `list`, in order, handing each to
  // `visit`; a registration `visit` answers true for goes too. Those whose
  // observer, or whose object when `forOneObject`, is gone are dropped. The
  // lock is held.
  // NSNotificationCenter's own addObserver:selector:name:object:.
  void registerObserver(Object* observer, SEL selector, String* name, Object* object);
  template <class Visit>
  void keepLive(Registrations& list, bool forOneObject, Visit visit);
  // Drops the dead registrations from every list. The lock is held.
  void sweep();

  std::mutex mutex_;
  // Registrations for one object, under its address: a list may also hold
  // dead registrations of an earlier object at that address, never live ones.
  std::unordered_map<const Object*, Registrations> byObject_;
  Registrations anyObject_;
  std::size_t count_ = 0;
  std::size_t sweepAt_ = kFirstSweep;
  std::uint64_t nextOrder_ = 0;
};

}  // namespace tovik
