// Where and how the extension finds the shared store that the host writes.
// Plain functions without state; safe from any thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/objectstore/realm.h"

namespace quorvel {

inline constexpr std::string_view appGroupIdentifier = "group.com.tavrin.quorvel";
inline constexpr std::string_view kStoreFileName = "TavrinQuorvel.realm";
inline constexpr std::uint64_t kSchemaVersion = 300;

// A fresh configuration on every call: the app-group container (looked up
// anew, created if missing) joined with the store's file name, schema
// version 300 and the migration callback; everything else at the store's
// defaults. No file is touched. Without a container the configuration has
// no file location and opening it fails.
platform::objectstore::Realm::Configuration sharedRealmConfiguration();

// Logs that an older file is being brought up to date; moves no data.
void migrateSharedRealm(platform::objectstore::Migration& migration,
                        std::uint64_t oldSchemaVersion);

}  // namespace quorvel
