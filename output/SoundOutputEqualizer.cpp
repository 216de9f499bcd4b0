// The sound output's equalizer operations: what the main window calls when
// the equalizer window reports a change.
#include "output/SoundOutput.h"

#include "core/Status.h"
#include "equalizer/FilterBank.h"
#include "output/SoundDevice.h"

namespace tessel {

Status CSoundOutput::ApplyEqualizer(const CFilterBank& bank) {
    m_eqOn = true;
    m_eqBands = EqualizerBandsFromBank(bank);
    if (!m_device)
        return Status::NotInitialized;
    return PassEqualizerToDevice();
}

void CSoundOutput::RemoveEqualizer() {
    m_eqOn = false;
    m_eqBands = EqualizerBands{};
    PassEqualizerToDevice();
}

Status CSoundOutput::UpdateEqualizerBand(const CFilterBank& bank, int32_t band) {
    if (band < 0 || band >= CFilterBank::kMaxBands || (m_eqOn && band >= m_eqBands.count))
        return Status::Unexpected;
    if (!m_eqOn)
        return Status::NotInitialized;
    // Centre and bandwidth stay as applied; only the gain is new.
    m_eqBands.gainDb[band] = EffectGainDb(bank.GetBandGain(band));
    return PassEqualizerToDevice();
}

Status CSoundOutput::PassEqualizerToDevice() {
    if (!m_device)
        return Status::NotInitialized;
    return m_device->SetEqualizer(m_eqOn ? m_eqBands : EqualizerBands{});
}

} // namespace tessel
