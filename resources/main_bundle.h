// The main bundle's resources: the English string table, compiled into the
// binary from resources/en.lproj/Localizable.strings.
// Thread rule: any thread. Ownership: the bytes are static and live as long
// as the process.
#pragma once

#include <string_view>

namespace quorvel {

// The raw bytes of en.lproj/Localizable.strings.
std::string_view mainBundleStringsTable();

// Hands the main bundle's resources to the platform layer, so that
// localized lookups find their texts. Idempotent; call once at start-up,
// before the first lookup (a later call still takes effect on the next one).
void registerMainBundleResources();

}  // namespace quorvel
