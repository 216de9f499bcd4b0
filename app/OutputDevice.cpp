#include "app/OutputDevice.h"

#include "decode/ChunkFormat.h"
#include "output/SdlAudioBackend.h"
#include "output/SoundOutput.h"

#include <memory>

namespace tessel {

bool OpenDefaultOutputDevice(CSoundOutput& output) {
    const int32_t status =
        output.OpenDevice(std::make_unique<CSdlAudioBackend>(), kDefaultDeviceDescription);
    if (status == S_OK_STATUS)
        return true;
    output.CloseDevice();
    return false;
}

} // namespace tessel
