#pragma once

#include <concepts>
#include <string_view>

#include "platform/contract/object.h"
#include "platform/user_defaults.h"

namespace tovik::contract {

// NSUserDefaults: the compose windows' size records and the user's
// titlebar double-click setting.
template <class D, class Text = std::string_view>
concept UserDefaultsContract = ObjectContract<D> &&
    requires(D& defaults, const D& constDefaults, Text key, Object* value, String* name) {
  { D::standardUserDefaults() } -> std::same_as<D*>;
  { constDefaults.objectForKey(key) } -> std::same_as<Ref<Object>>;
  defaults.setObject(value, name);
};

}  // namespace tovik::contract
