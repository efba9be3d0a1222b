#include "localplay/MediaFile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cmath>

#include "av_log_route.h"

namespace hollin::localplay {

std::unique_ptr<MediaFile> MediaFile::Open(const std::string& path) {
  // A damaged file makes the demuxer and decoders complain: into the log, not onto stderr.
  ctdec::RouteLibavLog();
  std::unique_ptr<MediaFile> m(new MediaFile());
  if (avformat_open_input(&m->fmt_, path.c_str(), nullptr, nullptr) != 0) {
    m->fmt_ = nullptr;
    return nullptr;
  }
  if (avformat_find_stream_info(m->fmt_, nullptr) < 0) return nullptr;
  m->video_ = av_find_best_stream(m->fmt_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (m->video_ < 0) return nullptr;
  AVStream* vs = m->fmt_->streams[m->video_];
  m->decoder_ = VideoDecoder::Create(vs->codecpar);
  if (!m->decoder_) return nullptr;
  m->packet_ = av_packet_alloc();
  if (!m->packet_) return nullptr;
  m->timeBase_ = av_q2d(vs->time_base);
  m->startPts_ = vs->start_time == AV_NOPTS_VALUE ? 0 : vs->start_time;
  const AVRational rate = vs->avg_frame_rate.num ? vs->avg_frame_rate : vs->r_frame_rate;
  if (rate.num > 0 && rate.den > 0) m->frameInterval_ = 1.0 / av_q2d(rate);
  if (vs->duration > 0 && m->timeBase_ > 0)
    m->duration_ = static_cast<double>(vs->duration) * m->timeBase_;
  else if (m->fmt_->duration > 0)
    m->duration_ = static_cast<double>(m->fmt_->duration) / AV_TIME_BASE;
  m->audioIndex_ = av_find_best_stream(m->fmt_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (m->audioIndex_ >= 0) m->audio_ = AudioSink::Create(m->fmt_->streams[m->audioIndex_]->codecpar);
  if (!m->audio_) m->audioIndex_ = -1;
  return m;
}

MediaFile::~MediaFile() {
  audio_.reset();
  decoder_.reset();
  av_packet_free(&packet_);
  if (fmt_) avformat_close_input(&fmt_);
}

double MediaFile::PacketTime(const AVPacket* p) const {
  const int64_t ts = p->pts != AV_NOPTS_VALUE ? p->pts : p->dts;
  if (ts == AV_NOPTS_VALUE) return -1;
  return std::max(0.0, static_cast<double>(ts - startPts_) * timeBase_);
}

bool MediaFile::Next(Picture& out, bool playAudio) {
  if (havePending_) {
    havePending_ = false;
    out = std::move(pending_);
    return true;
  }
  // Bounded: a file whose packets never give a picture ends the walk at its end.
  while (av_read_frame(fmt_, packet_) >= 0) {
    bool got = false;
    if (packet_->stream_index == video_) {
      const double t = PacketTime(packet_);
      if (decoder_->Decode(packet_->data, static_cast<uint32_t>(packet_->size), out)) {
        out.time = t >= 0 ? t : out.time + frameInterval_;
        got = true;
      }
    } else if (packet_->stream_index == audioIndex_ && playAudio && audio_) {
      audio_->Play(packet_->data, static_cast<uint32_t>(packet_->size));
    }
    av_packet_unref(packet_);
    if (got) return true;
  }
  return false;
}

bool MediaFile::SeekTo(double seconds, Picture& out) {
  if (seconds < 0) seconds = 0;
  havePending_ = false;
  const int64_t ts = startPts_ + static_cast<int64_t>(std::floor(seconds / timeBase_ + 1e-6));
  if (av_seek_frame(fmt_, video_, ts, AVSEEK_FLAG_BACKWARD) < 0) {
    if (av_seek_frame(fmt_, video_, startPts_, AVSEEK_FLAG_BACKWARD) < 0) return false;
  }
  decoder_->Reset();
  if (audio_) audio_->Flush();
  // Half a picture of slack so a time read back from a picture finds that picture.
  const double limit = seconds + frameInterval_ / 2;
  bool have = false;
  Picture p;
  while (Next(p, false)) {
    if (p.time > limit) {
      if (!have) {
        out = std::move(p);
        return true;
      }
      pending_ = std::move(p);
      havePending_ = true;
      return true;
    }
    out = std::move(p);
    have = true;
  }
  return have;
}

}  // namespace hollin::localplay
