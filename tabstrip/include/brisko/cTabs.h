#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "brisko/Esporta.h"
#include "brisko/Immagine.h"

namespace brisko {

/// One tab of the strip. The paint pass writes its position; the host sets
/// its caption, width and picture.
class BRISKO_API cTabs {
 public:
  /// Caption; "&" marks the access character.
  std::string TabCaption;
  std::int32_t TabLeft = 0;
  /// Always 2 after a paint pass.
  std::int32_t TabTop = 0;
  std::int32_t TabWidth = 0;
  std::int32_t TabHeight = 0;
  /// Shown before the caption; none by default.
  std::shared_ptr<Immagine> TabPicture;

  /// The same picture as TabPicture, under its other name.
  [[nodiscard]] const std::shared_ptr<Immagine>& TabIcon() const noexcept { return TabPicture; }
  void SetTabIcon(std::shared_ptr<Immagine> icona) { TabPicture = std::move(icona); }
};

}  // namespace brisko
