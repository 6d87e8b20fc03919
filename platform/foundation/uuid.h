// A random (version 4) UUID as text, upper-case as the platform prints them,
// e.g. "1B4E28BA-2FA1-41D2-883F-0016D3CCA427". Safe from any thread.
#pragma once

#include <string>

namespace platform::foundation {

std::string uuidString();

}  // namespace platform::foundation
