#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdio>

#include "platform/audio_capture.h"

namespace orbisk {
namespace {

class AlsaStream final : public AudioCaptureStream {
  public:
    AlsaStream(snd_pcm_t* pcm, unsigned rate, unsigned channels)
        : pcm_(pcm), rate_(rate), channels_(channels) {}
    ~AlsaStream() override { snd_pcm_close(pcm_); }

    size_t BytesPerSecond() const override { return size_t{rate_} * channels_ * 2; }

    bool Start(std::vector<uint8_t>* buffer) override {
        buffer_ = buffer;
        if (snd_pcm_prepare(pcm_) < 0) return false;
        return snd_pcm_start(pcm_) >= 0;
    }

    int Stop() override {
        int error = 0;
        if (buffer_ != nullptr && !buffer_->empty()) {
            const snd_pcm_uframes_t frames = buffer_->size() / (channels_ * 2);
            // Non-blocking: takes what arrived during the burst; an overrun is no fault here.
            const snd_pcm_sframes_t got = snd_pcm_readi(pcm_, buffer_->data(), frames);
            if (got < 0 && got != -EAGAIN && got != -EPIPE) error = static_cast<int>(got);
        }
        if (const int dropped = snd_pcm_drop(pcm_); dropped < 0 && error == 0) error = dropped;
        buffer_ = nullptr;
        return error;
    }

  private:
    snd_pcm_t* pcm_;
    unsigned rate_;
    unsigned channels_;
    std::vector<uint8_t>* buffer_ = nullptr;
};

std::string Part(const char* text) {
    return text != nullptr && *text != 0 ? text : "Unknown";
}

class AlsaCaptureSystem final : public AudioCaptureSystem {
  public:
    std::vector<AudioEndpoint> Endpoints() override {
        std::vector<AudioEndpoint> endpoints;
        int card = -1;
        while (snd_card_next(&card) == 0 && card >= 0) {
            char ctl_name[32];
            std::snprintf(ctl_name, sizeof ctl_name, "hw:%d", card);
            snd_ctl_t* ctl = nullptr;
            if (snd_ctl_open(&ctl, ctl_name, 0) < 0) continue;
            snd_ctl_card_info_t* card_info = nullptr;
            snd_ctl_card_info_alloca(&card_info);
            const std::string card_name = snd_ctl_card_info(ctl, card_info) == 0
                                              ? Part(snd_ctl_card_info_get_name(card_info))
                                              : "Unknown";
            int device = -1;
            while (snd_ctl_pcm_next_device(ctl, &device) == 0 && device >= 0) {
                snd_pcm_info_t* info = nullptr;
                snd_pcm_info_alloca(&info);
                snd_pcm_info_set_device(info, static_cast<unsigned>(device));
                snd_pcm_info_set_subdevice(info, 0);
                snd_pcm_info_set_stream(info, SND_PCM_STREAM_CAPTURE);
                if (snd_ctl_pcm_info(ctl, info) < 0) continue;  // no capture on this device
                char id[32];
                std::snprintf(id, sizeof id, "hw:%d,%d", card, device);
                endpoints.push_back(
                    {id, Part(snd_pcm_info_get_name(info)) + " (" + card_name + ")"});
            }
            snd_ctl_close(ctl);
        }
        return endpoints;
    }

    std::unique_ptr<AudioCaptureStream> Open(const AudioEndpoint& endpoint) override {
        snd_pcm_t* pcm = nullptr;
        if (snd_pcm_open(&pcm, endpoint.id.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) < 0)
            return nullptr;
        snd_pcm_hw_params_t* params = nullptr;
        snd_pcm_hw_params_alloca(&params);
        unsigned rate = 48000;
        unsigned channels = 1;
        const bool ok =
            snd_pcm_hw_params_any(pcm, params) >= 0 &&
            snd_pcm_hw_params_set_access(pcm, params, SND_PCM_ACCESS_RW_INTERLEAVED) >= 0 &&
            snd_pcm_hw_params_set_format(pcm, params, SND_PCM_FORMAT_S16_LE) >= 0 &&
            snd_pcm_hw_params_set_channels_near(pcm, params, &channels) >= 0 &&
            snd_pcm_hw_params_set_rate_near(pcm, params, &rate, nullptr) >= 0 &&
            snd_pcm_hw_params(pcm, params) >= 0;
        if (!ok || channels == 0 || rate == 0) {
            snd_pcm_close(pcm);
            return nullptr;
        }
        return std::make_unique<AlsaStream>(pcm, rate, channels);
    }
};

}  // namespace

std::unique_ptr<AudioCaptureSystem> CreateNativeAudioCaptureSystem() {
    return std::make_unique<AlsaCaptureSystem>();
}

}  // namespace orbisk
