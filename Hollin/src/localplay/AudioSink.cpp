#include "localplay/AudioSink.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cmath>
#include <vector>

namespace hollin::localplay {

uint16_t LinearLevel(long centiDb) {
  if (centiDb <= kSilentVolume) return 0;
  if (centiDb >= 0) return 0xFFFF;
  const double amp = std::pow(10.0, static_cast<double>(centiDb) / 2000.0);
  return static_cast<uint16_t>(std::lround(amp * 0xFFFF));
}

namespace {

int16_t SampleAt(const AVFrame* f, int channel, int i) {
  const auto fmt = static_cast<AVSampleFormat>(f->format);
  const int channels = f->ch_layout.nb_channels;
  const bool planar = av_sample_fmt_is_planar(fmt);
  const int plane = planar ? channel : 0;
  const int index = planar ? i : i * channels + channel;
  const uint8_t* p = f->extended_data[plane];
  switch (fmt) {
    case AV_SAMPLE_FMT_U8:
    case AV_SAMPLE_FMT_U8P:
      return static_cast<int16_t>((p[index] - 128) << 8);
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
      return reinterpret_cast<const int16_t*>(p)[index];
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S32P:
      return static_cast<int16_t>(reinterpret_cast<const int32_t*>(p)[index] >> 16);
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_FLTP: {
      const float v = std::clamp(reinterpret_cast<const float*>(p)[index], -1.0f, 1.0f);
      return static_cast<int16_t>(v * 32767.0f);
    }
    case AV_SAMPLE_FMT_DBL:
    case AV_SAMPLE_FMT_DBLP: {
      const double v = std::clamp(reinterpret_cast<const double*>(p)[index], -1.0, 1.0);
      return static_cast<int16_t>(v * 32767.0);
    }
    default:
      return 0;
  }
}

}  // namespace

std::unique_ptr<AudioSink> AudioSink::Create(const AVCodecParameters* params) {
  if (!params) return nullptr;
  const AVCodec* codec = avcodec_find_decoder(params->codec_id);
  if (!codec) return nullptr;
  std::unique_ptr<AudioSink> s(new AudioSink());
  s->ctx_ = avcodec_alloc_context3(codec);
  s->frame_ = av_frame_alloc();
  s->packet_ = av_packet_alloc();
  if (!s->ctx_ || !s->frame_ || !s->packet_) return nullptr;
  if (avcodec_parameters_to_context(s->ctx_, params) < 0) return nullptr;
  if (avcodec_open2(s->ctx_, codec, nullptr) != 0) return nullptr;
  return s;
}

AudioSink::~AudioSink() {
  output_.reset();
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  avcodec_free_context(&ctx_);
}

void AudioSink::Play(const uint8_t* data, uint32_t length) {
  packet_->data = const_cast<uint8_t*>(data);
  packet_->size = static_cast<int>(length);
  if (avcodec_send_packet(ctx_, packet_) < 0) return;
  std::vector<int16_t> pcm;
  while (avcodec_receive_frame(ctx_, frame_) == 0) {
    const int channels = std::min(frame_->ch_layout.nb_channels, 2);
    const int rate = frame_->sample_rate;
    if (channels > 0 && rate > 0 && volume_ > kSilentVolume) {
      if (!output_ || output_->format().channels != channels ||
          static_cast<int>(output_->format().samplesPerSecond) != rate) {
        plat::AudioFormat af;
        af.channels = static_cast<uint16_t>(channels);
        af.bitsPerSample = 16;
        af.samplesPerSecond = static_cast<uint32_t>(rate);
        output_ = plat::AudioOutput::open(af);
        SetVolume(volume_);
      }
      pcm.resize(static_cast<size_t>(frame_->nb_samples) * channels);
      for (int i = 0; i < frame_->nb_samples; ++i)
        for (int c = 0; c < channels; ++c)
          pcm[static_cast<size_t>(i) * channels + c] = SampleAt(frame_, c, i);
      if (output_ && !pcm.empty()) output_->write(pcm.data(), pcm.size() * sizeof(int16_t));
    }
    av_frame_unref(frame_);
  }
}

void AudioSink::Flush() {
  avcodec_flush_buffers(ctx_);
  if (output_) output_->reset();
}

void AudioSink::SetVolume(long centiDb) {
  volume_ = std::clamp(centiDb, kSilentVolume, 0L);
  const uint32_t level = LinearLevel(volume_);
  if (output_) output_->setVolume(level | (level << 16));
  if (volume_ <= kSilentVolume && output_) output_->reset();
}

}  // namespace hollin::localplay
