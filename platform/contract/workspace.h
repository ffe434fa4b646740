#pragma once

#include <concepts>

#include "platform/contract/object.h"
#include "platform/workspace.h"

namespace tovik::contract {

// NSWorkspace: the notification settings are opened by URL.
template <class W>
concept WorkspaceContract = ObjectContract<W> && requires(W& workspace, URL* url) {
  { W::sharedWorkspace() } -> std::same_as<W*>;
  { workspace.openURL(url) } -> std::same_as<bool>;
};

}  // namespace tovik::contract
