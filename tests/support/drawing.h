// Drawings compared with the reference images under tests/fixtures/drawings.
#pragma once

#include <filesystem>
#include <string>

namespace quorvel::testing {

// Expects the PNG at `png` to show, pixel for pixel, what the reference
// `name`.png shows, give or take the antialiasing noise of another CPU's
// drawing routines. QUORVEL_UPDATE_DUMPS=1 rewrites the reference instead.
void expectDrawnAs(const std::filesystem::path& png, const std::string& name);

}  // namespace quorvel::testing
