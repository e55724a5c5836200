// A push button that paints itself (OwnerDrawMixin over a CommandButton).
#pragma once

#include "ui/CommandButton.h"
#include "ui/OwnerDrawMixin.h"

namespace rx {

class OwnerDrawButton : public OwnerDrawMixin<CommandButton> {
public:
    using OwnerDrawMixin<CommandButton>::OwnerDrawMixin;
};

} // namespace rx
