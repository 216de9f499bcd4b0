// A sound device that was listed but is gone by the time it is opened
// (unplugged meanwhile): every open fails.
#pragma once

#include "output/AudioBackend.h"

namespace tessel::test {

class CGoneBackend final : public IAudioBackend {
  public:
    Status Prepare(uint32_t) override { return Status::Failed; }
    Status Open(uint32_t, uint32_t, IRenderSource&) override { return Status::Failed; }
    void Start() override {}
    void Pause() override {}
    void Close() override {}
    bool IsRealTime() const override { return true; }
};

} // namespace tessel::test
