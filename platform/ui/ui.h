// The view toolkit in one include: view values, text, images, colours,
// fonts, the JSON dump and the renderer.
#pragma once

#include "platform/ui/color.h"
#include "platform/ui/font.h"
#include "platform/ui/geometry.h"
#include "platform/ui/image.h"
#include "platform/ui/image_assets.h"
#include "platform/ui/render.h"
#include "platform/ui/text.h"
#include "platform/ui/view.h"
#include "platform/ui/view_dump.h"
