#include "platform/widgetkit/page_server.h"

#include "platform/foundation/program_folder.h"

namespace platform::widgetkit {

foundation::Result<std::unique_ptr<PageServer>> makePageServer(PageHandler handle) {
  static const auto loaded = foundation::loadModule<PageServerModule>(
      PAGE_SERVER_MODULE_FROM_PROGRAM, kPageServerModuleEntry, kPageServerModuleInterfaceVersion);
  if (!loaded.ok()) return loaded.status;
  return (*loaded.value)->make(std::move(handle));
}

}  // namespace platform::widgetkit
