// The equalizer's filter bank: splits ten octaves into 2 ... 30 adjacent
// bands, one linear-phase FIR filter per band (lowpass, bandpasses,
// highpass), and keeps each band's magnitude response on a fixed
// logarithmic axis of 640 points, raw and with the band's gain applied. It
// also holds one gain factor per band (1.0 = unchanged), kept per band
// index when the layout changes.
//
// A plain fixed-size object (about 280 kB): nothing is allocated. Threads:
// whoever owns it (the window thread in the player); not shared.
#pragma once

#include <array>
#include <cstdint>

namespace tessel {

class CFilterBank {
  public:
    static constexpr int32_t kMaxBands = 30;
    static constexpr int32_t kMinBands = 2;
    static constexpr int32_t kMaxTaps = 512;
    static constexpr int32_t kDefaultTaps = 256;
    static constexpr int32_t kAxisPoints = 640;
    // The dynamic range of 16-bit samples: the gain scales a response around
    // this floor, so a skirt far down barely moves.
    static constexpr float kFloorDb = 96.33f;

    CFilterBank();

    // Designs the whole bank for n bands (clamped to 2 ... 30).
    void SetNumBands(int32_t n);
    int32_t GetNumBands() const { return m_numBands; }

    // 0.0 for a band outside 0 ... bands - 1.
    double GetBandCentre(int32_t band) const;
    float GetBandGain(int32_t band) const;
    // Stores the gain of any band 0 ... 29 (kept for later layouts); a gain
    // that is not a finite number is ignored. The response follows only
    // with UpdateBandResponse.
    void SetBandGain(int32_t band, float gain);
    void UpdateBandResponse(int32_t band);
    // Copies the band's 640 response values (dB); nothing for a band out of
    // range.
    void GetBandResponse(int32_t band, float* dst) const;
    // What the gained bands add up to, point by point (dB): the magnitudes
    // summed as if every band had the same delay.
    void GetSumResponse(float* dst) const;

    int32_t GetTapCount(int32_t band) const;
    // The FIR coefficients of a band in use; nullptr out of range.
    const double* GetTaps(int32_t band) const;
    double GetSampleRate() const { return m_sampleRate; }
    // Frequency of axis point i (0 ... 639) in Hz.
    double AxisFrequency(int32_t point) const;

  private:
    void DesignBand(int32_t band, int32_t kind, double lower, double upper);
    void ComputeBandResponse(int32_t band);
    bool InUse(int32_t band) const { return band >= 0 && band < m_numBands; }

    std::array<std::array<double, kMaxTaps>, kMaxBands> m_taps{};
    std::array<int32_t, kMaxBands> m_tapCount{};
    int32_t m_numBands = 0;
    std::array<double, kMaxBands> m_centreFrequency{};
    std::array<std::array<float, kAxisPoints>, kMaxBands> m_rawResponse{};
    std::array<std::array<float, kAxisPoints>, kMaxBands> m_bandResponse{};
    std::array<float, kMaxBands> m_gain{};
    double m_axisRatio = 0.0;
    double m_axisStart = 0.0;
    double m_sampleRate = 44100.0;
};

} // namespace tessel
