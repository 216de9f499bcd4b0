// A sound device that was listed but is gone by the time it is opened
// (unplugged meanwhile): every open fails.
#pragma once

#include "output/AudioBackend.h"

namespace tessel::test {

class CGoneBackend final : public IAudioBackend {
  public:
    int32_t Prepare(uint32_t) override { return E_FAIL_STATUS; }
    int32_t Open(uint32_t, uint32_t, IRenderSource&) override { return E_FAIL_STATUS; }
    void Start() override {}
    void Pause() override {}
    void Close() override {}
    bool IsRealTime() const override { return true; }
};

} // namespace tessel::test
