// The backend this build links, checked against the seam's contract: a
// class that lacks an operation the plug-in calls, or answers another type,
// stops the build here with the operation's name.
#include "platform/contract/application.h"
#include "platform/contract/event.h"
#include "platform/contract/foundation.h"
#include "platform/contract/main_queue.h"
#include "platform/contract/notification_center.h"
#include "platform/contract/runtime.h"
#include "platform/contract/toolbar.h"
#include "platform/contract/url.h"
#include "platform/contract/user_defaults.h"
#include "platform/contract/view.h"
#include "platform/contract/window.h"
#include "platform/contract/workspace.h"

namespace tovik::contract {

static_assert(RuntimeContract<Class>);
static_assert(ObjectContract<Object>);
static_assert(StringContract<String>);
static_assert(NumberContract<Number>);
static_assert(DictionaryContract<Dictionary>);
static_assert(ArrayContract<Array>);
static_assert(BlocksContract<BlockBase>);
static_assert(ViewContract<View>);
static_assert(WindowContract<Window>);
static_assert(ToolbarItemContract<ToolbarItem>);
static_assert(ToolbarContract<Toolbar>);
static_assert(ApplicationContract<Application>);
static_assert(EventContract<Event>);
static_assert(NotificationContract<Notification>);
static_assert(NotificationCenterContract<NotificationCenter>);
static_assert(UserDefaultsContract<UserDefaults>);
static_assert(URLContract<URL>);
static_assert(CharacterSetContract<CharacterSet>);
static_assert(WorkspaceContract<Workspace>);
static_assert(MainQueueContract<MainQueue>);

}  // namespace tovik::contract
