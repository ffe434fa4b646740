#include "compose/compose_window.h"

#include "mainwindow/lookup.h"
#include "plugin/hop.h"
#include "plugin/identifier.h"
#include "plugin/static_state.h"

namespace tovik {

namespace {
double numberOr(const Dictionary& configuration, std::string_view key, double fallback) {
  const auto* number = as<Number>(configuration.objectForKey(key));
  return number != nullptr ? number->doubleValue() : fallback;
}
}  // namespace

std::unordered_map<std::string, std::shared_ptr<ComposeWindowCloseDelegate>>&
composeCloseDelegates() {
  static auto* delegates =
      new std::unordered_map<std::string, std::shared_ptr<ComposeWindowCloseDelegate>>;
  return *delegates;
}

void configureComposeWindow(Object* configuration, BlockBase* shouldClose) {
  Ref<ShouldCloseBlock> block = retainBlock<bool()>(shouldClose);
  const auto* dictionary = as<Dictionary>(configuration);
  String* identifier =
      dictionary != nullptr ? as<String>(dictionary->objectForKey("windowIdentifier")) : nullptr;
  if (identifier == nullptr || block == nullptr) return;
  auto* key = as<String>(dictionary->objectForKey("sizeDefaultsKey"));
  Ref<String> defaultsKey =
      key != nullptr ? key->retainAs<String>() : str(kDefaultComposeSizeDefaultsKey);
  const double minimumWidth = numberOr(*dictionary, "minimumWidth", 560);
  const double minimumHeight = numberOr(*dictionary, "minimumHeight", 520);
  hopToMainQueue([identifier = identifier->retainAs<String>(), defaultsKey, minimumWidth,
                  minimumHeight, block] {
    applyComposeConfiguration(identifier.get(), defaultsKey.get(), minimumWidth, minimumHeight,
                              block);
  });
}

void applyComposeConfiguration(String* identifier, String* defaultsKey, double minimumWidth,
                               double minimumHeight, const Ref<ShouldCloseBlock>& shouldClose) {
  Window* window = resolveWindowWithIdentifier(identifier);
  if (window == nullptr) return;
  window->setIdentifier(identifier);
  auto delegate = std::make_shared<ComposeWindowCloseDelegate>(
      identifier->retainAs<String>(), defaultsKey->retainAs<String>(),
      CGSize{minimumWidth, minimumHeight}, shouldClose);
  composeCloseDelegates().insert_or_assign(identifierKey(*identifier), delegate);
  window->setDelegate(delegate->object());
}

void allowComposeWindowClose(String* identifier) {
  if (identifier == nullptr) return;
  auto& delegates = composeCloseDelegates();
  if (auto it = delegates.find(identifierKey(*identifier)); it != delegates.end()) {
    it->second->allowNextClose();
  }
}

}  // namespace tovik
