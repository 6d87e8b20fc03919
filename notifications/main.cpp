#include "notifications/notification_service.h"
#include "platform/usernotifications/extension_main.h"

int main(int argc, char** argv) {
  return platform::usernotifications::NSExtensionMain(argc, argv,
                                                      quorvel::notificationsExtensionInfo());
}
