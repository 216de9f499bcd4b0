// How a control hands an application message (core/AppMessages.h) to the
// window that acts on it. The owning window wires this to its message
// channel; the controls know nothing else of the engine.
#pragma once

#include "core/AppMessages.h"

#include <functional>

namespace tessel {

using MessageSink = std::function<void(AppMessage id)>;

} // namespace tessel
