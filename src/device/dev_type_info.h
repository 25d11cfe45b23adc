#pragma once
#include <string_view>

#include "device/mp_flow_flash.h"

namespace orbisk {

// What kind of device the object drives: the short names of its memory, project and bus type
// that inspectors and logs show.
class CDevTypeInfo : public CMpFlow_Flash {
  public:
    using CMpFlow_Flash::CMpFlow_Flash;

    std::string_view ProjectTypeName() const;
    std::string_view BusTypeName() const;
};

}  // namespace orbisk
