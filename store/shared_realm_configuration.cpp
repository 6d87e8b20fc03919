#include "store/shared_realm_configuration.h"

#include "platform/foundation/container.h"
#include "platform/foundation/debug_print.h"
#include "store/records.h"

namespace quorvel {

platform::objectstore::Realm::Configuration sharedRealmConfiguration() {
  (void)kRecordTypesRegistered;
  platform::objectstore::Realm::Configuration configuration;
  configuration.schemaVersion = kSchemaVersion;
  configuration.migrationBlock = migrateSharedRealm;
  if (auto container = platform::foundation::containerURLForSecurityApplicationGroupIdentifier(
          appGroupIdentifier)) {
    configuration.fileURL = *container / std::string(kStoreFileName);
  }
  return configuration;
}

// The store calls it only for a file below kSchemaVersion.
void migrateSharedRealm(platform::objectstore::Migration&, std::uint64_t) {
  platform::foundation::debugPrint("Upgrade Realm extension schema version!!!");
}

}  // namespace quorvel
