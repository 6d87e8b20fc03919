#include "platform/ui/image.h"

namespace platform::ui {

Image::Image(ImageNode node) : View(makeView(ViewNode{std::move(node), {}})) {}

Image::Image(std::string name) : Image(ImageNode{std::move(name), false, std::nullopt}) {}

Image Image::systemName(std::string name) {
  return Image(ImageNode{std::move(name), true, std::nullopt});
}

Image Image::resizable(const EdgeInsets& capInsets, ResizingMode resizingMode) const {
  ImageNode node = std::get<ImageNode>(this->node().content);
  node.resizable = ResizableImage{capInsets, resizingMode};
  return Image(std::move(node));
}

}  // namespace platform::ui
