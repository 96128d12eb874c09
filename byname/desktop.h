// The one place the module asks the platform something: the desktop's size.
#ifndef QZ_BYNAME_DESKTOP_H
#define QZ_BYNAME_DESKTOP_H

#include <cstdint>

struct DesktopSize {
  std::int32_t right;
  std::int32_t bottom;
};

// The desktop window's client rectangle (its left and top are 0).
DesktopSize DesktopClientSize();

#endif  // QZ_BYNAME_DESKTOP_H
